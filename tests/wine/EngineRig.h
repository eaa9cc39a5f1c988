// The control object made directly (not through COM), hosted in a test
// container with one event sink, so that tests can reach its engine and
// hand it fake factories.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "convctl/VantrexControl.h"
#include "framework/com/ComPtr.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/TestContainer.h"
#include "tests/wine/harness/WineTest.h"

namespace wt {

struct EngineRig {
    convctl::VantrexControl* control = new convctl::VantrexControl();
    std::vector<EventCall> log;
    com::ComPtr<EventSink> sink = com::ComPtr<EventSink>::Adopt(new EventSink(DIID__IVantrexObjEvents, "S", &log));
    TestContainer* container = new TestContainer(400, 300);

    EngineRig() {
        CHECK(Connect(static_cast<IVantrexObj*>(control), DIID__IVantrexObjEvents, sink.Get()) != 0);
        CHECK_HR(container->Host(static_cast<IVantrexObj*>(control), RECT{10, 10, 330, 250}));
    }
    ~EngineRig() {
        // A test's fake factory may not outlive the test.
        control->Engine().SetFactory(nullptr);
        container->Close();
        container->Release();
        CHECK_EQ(control->Release(), 0u);
    }
    EngineRig(const EngineRig&) = delete;
    EngineRig& operator=(const EngineRig&) = delete;

    convctl::ConversionEngine& Engine() { return control->Engine(); }
    // The events so far, each as "dispid|arg|arg...".
    std::vector<std::string> Events() const {
        std::vector<std::string> out;
        for (const auto& c : log) {
            std::string s = std::to_string(c.id);
            for (const auto& a : c.args) s += "|" + a;
            out.push_back(s);
        }
        return out;
    }
    bool Has(DISPID id) const {
        for (const auto& c : log)
            if (c.id == id) return true;
        return false;
    }
};

}  // namespace wt
