// Owners free what they own, the last made first; removals are told to the
// owner and the siblings; components made while their form is built are
// loading until the form says they are loaded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/forms/Component.h"
#include "framework/forms/Streams.h"

using forms::TComponent;

namespace {

std::vector<std::string> g_log;

class TProbe : public TComponent {
public:
    FORMS_CLASS(TProbe)
    TProbe(TComponent* owner, std::string name) : TComponent(owner), m_label(std::move(name)) {}
    ~TProbe() override { g_log.push_back("free " + m_label); }
    void Loaded() override {
        g_log.push_back("loaded " + m_label);
        TComponent::Loaded();
    }
    void MarkLoading() { SetLoading(); }
    TComponent* removed = nullptr;

protected:
    void Notification(TComponent* c, forms::TOperation op) override {
        if (op == forms::TOperation::opRemove) removed = c;
    }

private:
    std::string m_label;
};

}  // namespace

TEST(Component, OwnersFreeTheirComponentsLastMadeFirst) {
    g_log.clear();
    {
        TProbe owner(nullptr, "owner");
        auto* a = new TProbe(&owner, "a");
        new TProbe(a, "a1");
        new TProbe(&owner, "b");
        EXPECT_EQ(owner.ComponentCount(), 2);
        EXPECT_EQ(a->ComponentIndex(), 0);
        EXPECT_THROW(owner.Component(2), forms::EListError);
    }
    EXPECT_EQ(g_log, (std::vector<std::string>{"free owner", "free b", "free a", "free a1"}));
}

TEST(Component, RemovalIsToldToTheOwnerAndTheSiblings) {
    TProbe owner(nullptr, "owner");
    auto* a = new TProbe(&owner, "a");
    auto* b = new TProbe(&owner, "b");
    b->SetName(u"Vantrex1");
    EXPECT_EQ(owner.FindComponent(u"VANTREX1"), b);
    EXPECT_EQ(owner.FindComponent(u""), nullptr);
    delete b;
    EXPECT_EQ(owner.removed, b);
    EXPECT_EQ(a->removed, b);
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.FindComponent(u"Vantrex1"), nullptr);
}

TEST(Component, ComponentsMadeWhileTheFormIsBuiltLoadOnceItIsDone) {
    g_log.clear();
    TProbe form(nullptr, "form");
    form.MarkLoading();
    auto* a = new TProbe(&form, "a");
    auto* a1 = new TProbe(a, "a1");
    EXPECT_TRUE(a1->ComponentState() & forms::csLoading);
    form.LoadedTree();
    EXPECT_EQ(g_log, (std::vector<std::string>{"loaded a1", "loaded a", "loaded form"}));
    EXPECT_FALSE(a->ComponentState() & forms::csLoading);
    g_log.clear();
    new TProbe(&form, "later");  // made in code later: never loading
    form.LoadedTree();
    EXPECT_TRUE(g_log.empty());
}

TEST(MemoryStream, ReadsWritesSeeksAndCopies) {
    forms::TMemoryStream s;
    s.WriteBuffer("abcdef", 6);
    EXPECT_EQ(s.Size(), 6);
    s.SetPosition(4);
    s.WriteBuffer("XYZ", 3);  // grows past the end
    EXPECT_EQ(s.Size(), 7);
    char buf[8] = {};
    s.SetPosition(0);
    EXPECT_EQ(s.Read(buf, 100), 7);
    EXPECT_EQ(std::string(buf, 7), "abcdXYZ");
    EXPECT_EQ(s.Read(buf, 1), 0);
    s.SetPosition(5);
    EXPECT_THROW(s.ReadBuffer(buf, 3), forms::EReadError);
    EXPECT_EQ(s.Seek(-100, forms::TSeekOrigin::soCurrent), 0);
    forms::TMemoryStream copy;
    copy.CopyFrom(s, 0);
    EXPECT_EQ(copy.Bytes(), s.Bytes());
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
}
