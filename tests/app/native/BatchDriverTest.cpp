// The batch driver against a fake control and a fake window: the status
// list, the run loop with each collision policy, the mapping onto the
// control's properties, row and run states, counters, pause and stop, and
// the faults of a start that reports twice, once wrongly or not at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <set>

#include "app/BatchDriver.h"

using namespace app;
using forms::String;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }

enum class Behaviour {
    Completes,          // runs, then Complete on the next message
    FailsAtStart,       // AboutToRun, Complete, Error inside the start
    FailsWhileRunning,  // runs, then Complete and Error on the next message
    Silent,             // no event at all
    RunsUntilStopped,   // only a stop ends it
};

struct LogLine {
    std::string text;  // without ">>> " and the time
    LogColour colour;
};

class Fake final : public IConverter, public IBatchHost {
public:
    Fake() : driver(*this, *this) {}

    BatchDriver driver;
    std::map<std::string, Behaviour> behaviour;  // by source path
    std::set<std::string> files;                 // lower-cased paths that exist
    std::set<std::string> folders;
    bool foldersCreatable = true;
    bool deletable = true;
    std::deque<bool> overwriteAnswers;
    int asked = 0;
    std::vector<std::string> calls;  // the control's members, in order
    std::vector<LogLine> log;
    std::vector<std::string> information;
    std::deque<std::function<void()>> pending;  // run one per message
    std::function<void(int pump)> onPump;       // the user, between messages
    int pumps = 0;
    int starts = 0;
    int ended = 0;
    String lastFolder = u"(none)";
    bool ending = false;

    // IConverter
    void SetInputFile(const String& p) override {
        m_input = U8(p);
        calls.push_back("InputFile=" + m_input);
    }
    void SetOutputFile(const String& p) override {
        m_output = U8(p);
        calls.push_back("OutputFile=" + m_output);
    }
    void SetVideoCodec(const String& id) override { calls.push_back("VideoCodec=" + U8(id)); }
    void SetAudioCodec(const String& id) override { calls.push_back("AudioCodec=" + U8(id)); }
    void SetOutputFormat(int f) override { calls.push_back("OutputFormat=" + std::to_string(f)); }
    void SetOutputWMVProfile(int p) override { calls.push_back("OutputWMVProfile=" + std::to_string(p)); }
    void SetOutputWidth(int w) override { calls.push_back("OutputWidth=" + std::to_string(w)); }
    void SetOutputHeight(int h) override { calls.push_back("OutputHeight=" + std::to_string(h)); }
    void SetOutputFramerate(double r) override { calls.push_back("OutputFramerate=" + std::to_string(int(r))); }
    void StartConversion() override {
        ++starts;
        calls.push_back("Start");
        const Behaviour b = behaviour.count(m_input) ? behaviour[m_input] : Behaviour::Completes;
        const std::string out = m_output;
        switch (b) {
        case Behaviour::Completes:
            driver.OnAboutToRun();
            pending.push_back([this, out] {
                files.insert(Lower(out));
                driver.OnComplete();
            });
            break;
        case Behaviour::FailsAtStart:
            driver.OnAboutToRun();
            driver.OnComplete();
            driver.OnError(-2147467259, u"The conversion could not be started.");
            break;
        case Behaviour::FailsWhileRunning:
            driver.OnAboutToRun();
            pending.push_back([this] {
                driver.OnComplete();
                driver.OnError(-2147467259, u"The conversion stopped because of an error in the filter graph");
            });
            break;
        case Behaviour::Silent: break;
        case Behaviour::RunsUntilStopped: driver.OnAboutToRun(); break;
        }
    }
    void StopConversion() override {
        calls.push_back("Stop");
        pending.clear();
        driver.OnComplete();  // the control's teardown always says Complete
    }

    // IBatchHost
    String TimeText() override { return u"10:00:00"; }
    void AddLogLine(const String& text, LogColour colour) override {
        std::string t = U8(text);
        const std::string head = ">>> 10:00:00 ";
        if (t.compare(0, head.size(), head) == 0) t = t.substr(head.size());
        log.push_back({t, colour});
    }
    void RowChanged(int index) override { EXPECT_TRUE(index >= 0 && index < int(driver.Rows().size())); }
    bool FileExists(const String& p) override { return files.count(Lower(U8(p))) > 0; }
    bool SameFile(const String& a, const String& b) override {
        return FileExists(a) && FileExists(b) && Identity(a) == Identity(b);
    }
    // Paths (lower-cased) that another spelling stands for, as a link does.
    std::map<std::string, std::string> aliases;
    std::string Identity(const String& p) const {
        const std::string l = Lower(U8(p));
        const auto it = aliases.find(l);
        return it == aliases.end() ? l : it->second;
    }
    bool CreateFolder(const String& f) override {
        if (folders.count(Lower(U8(f)))) return true;
        if (!foldersCreatable) return false;
        folders.insert(Lower(U8(f)));
        return true;
    }
    bool RemoveFile(const String& p) override { return deletable && files.erase(Lower(U8(p))) > 0; }
    bool AskOverwrite() override {
        ++asked;
        if (overwriteAnswers.empty()) return false;
        const bool a = overwriteAnswers.front();
        overwriteAnswers.pop_front();
        return a;
    }
    void Information(const String& text) override { information.push_back(U8(text)); }
    void RunStarting() override {}
    void ConversionStarting() override {}
    void PauseChanged() override {}
    void RunEnding(int percent) override { finalPercent = percent; }
    void RunEnded(const String& folder) override {
        ++ended;
        lastFolder = folder;
    }
    bool Pump() override {
        if (++pumps > 1000) {
            ADD_FAILURE() << "the run waits for ever";
            return false;
        }
        if (ending) return false;
        if (onPump) onPump(pumps);
        if (!pending.empty()) {
            auto action = pending.front();
            pending.pop_front();
            action();
        }
        return true;
    }
    int finalPercent = -1;

    static std::string Lower(std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }
    std::vector<std::string> States() const {
        std::vector<std::string> s;
        for (const StatusRow& r : driver.Rows()) s.push_back(U8(RowStatusText(r.state)));
        return s;
    }
    std::vector<std::string> LogTexts() const {
        std::vector<std::string> t;
        for (const LogLine& l : log) t.push_back(l.text);
        return t;
    }
    int Count(const std::string& call) const {
        int n = 0;
        for (const auto& c : calls) n += c == call;
        return n;
    }
    void Add(const char* folder, const char* name, int seconds) {
        tasks.push_back({forms::Utf8ToText(folder), forms::Utf8ToText(name), u"00:00:10",
                         forms::IntToStr(seconds)});
        files.insert(Lower(std::string(folder) + "\\" + name));
        folders.insert(Lower(std::string(folder) + "\\"));
    }
    void Run() {
        driver.BuildStatusList(tasks, settings);
        driver.RunTasks(settings);
    }
    void ExpectCountsAddUp() const {
        EXPECT_EQ(driver.DoneCount() + driver.SkipCount() + driver.FailedCount() + driver.RemainingCount(),
                  driver.TotalCount());
    }

    std::vector<TaskRow> tasks;
    BatchSettings settings;

private:
    std::string m_input, m_output;
};

BatchSettings SameFolderAvi() {
    BatchSettings s;
    s.folder = OutputFolderChoice::Source;
    s.programFolder = u"C:\\Prog\\";
    s.format = OutputKind::Avi;
    return s;
}

}  // namespace

TEST(BatchDriver, StatusListHoldsSourceOutputAndSeconds) {
    Fake f;
    f.Add("D:\\Clips", "a.mpg", 10);
    f.Add("D:\\", "b.WMV", 5);
    f.tasks.push_back({u"D:\\Clips", u"c.avi", u"00:00:00", u"n/a"});
    f.settings.folder = OutputFolderChoice::Default;
    f.settings.programFolder = u"C:\\Prog\\";
    f.settings.format = OutputKind::Mpeg;
    f.driver.BuildStatusList(f.tasks, f.settings);
    const auto& rows = f.driver.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(U8(rows[0].source), "D:\\Clips\\a.mpg");
    EXPECT_EQ(U8(rows[1].source), "D:\\b.WMV");
    EXPECT_EQ(U8(rows[0].sourceFormat), "MPG");
    EXPECT_EQ(U8(rows[1].sourceFormat), "WMV");
    EXPECT_EQ(U8(rows[0].output), "C:\\Prog\\a.mpg");
    EXPECT_EQ(U8(rows[1].output), "C:\\Prog\\b.mpg");
    EXPECT_EQ(U8(rows[0].outputFormat), "MPG");
    EXPECT_EQ(f.States(), (std::vector<std::string>{"Ready", "Ready", "Ready"}));
    // A seconds text that is no integer adds nothing.
    EXPECT_EQ(f.driver.TotalSeconds(), 15);
    EXPECT_EQ(f.driver.TotalSecondsValue(), 15);
    EXPECT_EQ(f.driver.FinishedSecondsValue(), 0);
    EXPECT_EQ(f.driver.CurrentTaskSeconds(), 0);

    f.settings.folder = OutputFolderChoice::Custom;
    f.settings.customFolder = u"E:\\Out";
    f.settings.format = OutputKind::Wmv;
    f.driver.BuildStatusList(f.tasks, f.settings);
    EXPECT_EQ(U8(f.driver.Rows()[1].output), "E:\\Out\\b.wmv");
}

TEST(BatchDriver, ABatchConvertsEveryRowAndSumsUp) {
    Fake f;
    f.Add("D:\\Clips", "a.mpg", 4);
    f.Add("D:\\Clips", "b.wmv", 4);
    f.settings = SameFolderAvi();
    f.settings.videoCodecIndex = 1;
    f.settings.audioCodecIndex = 0;
    f.settings.videoCodecIds = {u"", u"@device:cm:{33D9A760-90C8-11D0-BD43-00A0C911CE86}\\xvid"};
    f.settings.audioCodecIds = {u""};
    f.settings.width = u"352";
    f.settings.height = u"Source";
    f.settings.frameRate = u"25";
    f.settings.wmvProfileIndex = 0;
    f.Run();

    EXPECT_EQ(f.States(), (std::vector<std::string>{"Done", "Done"}));
    EXPECT_EQ(f.driver.DoneCount(), 2);
    EXPECT_EQ(f.driver.RemainingCount(), 0);
    EXPECT_EQ(f.driver.FinishedSecondsValue(), 8);
    EXPECT_EQ(f.finalPercent, 100);
    EXPECT_EQ(U8(f.driver.RunState()), "Stoped");
    EXPECT_FALSE(f.driver.Busy());
    EXPECT_EQ(f.ended, 1);
    EXPECT_EQ(U8(f.lastFolder), "D:\\Clips\\");

    // The properties of one row, in their order.
    const std::vector<std::string> first(f.calls.begin(), f.calls.begin() + 11);
    EXPECT_EQ(first, (std::vector<std::string>{
                         "InputFile=D:\\Clips\\a.mpg", "OutputFile=D:\\Clips\\a.avi",
                         "VideoCodec=@device:cm:{33D9A760-90C8-11D0-BD43-00A0C911CE86}\\xvid", "AudioCodec=",
                         "OutputFormat=0", "OutputWMVProfile=0", "OutputWidth=352", "OutputHeight=0",
                         "OutputFramerate=25", "Start", "InputFile=D:\\Clips\\b.wmv"}));
}

TEST(BatchDriver, LogLinesAndColoursOfARun) {
    Fake f;
    f.Add("D:\\Clips", "a.mpg", 4);
    f.Add("D:\\Clips", "bad.mpg", 4);
    f.behaviour["D:\\Clips\\bad.mpg"] = Behaviour::FailsWhileRunning;
    f.settings = SameFolderAvi();
    f.Run();
    const std::vector<std::string> expected = {
        "Start converting D:\\Clips\\a.mpg -> a.avi",
        "Done.",
        "Start converting D:\\Clips\\bad.mpg -> bad.avi",
        "Error occurs: The conversion stopped because of an error in the filter graph",
        "Task finished.",
        "",
        "Summary",
        "Total Files: 2   Done: 1   Remaining: 0   Skip: 0   Failed: 1",
    };
    EXPECT_EQ(f.LogTexts(), expected);
    const std::vector<LogColour> colours = {LogColour::Blue, LogColour::Green, LogColour::Blue, LogColour::Red,
                                            LogColour::Green, LogColour::White, LogColour::Navy, LogColour::Navy};
    ASSERT_EQ(f.log.size(), colours.size());
    for (size_t i = 0; i < colours.size(); ++i) EXPECT_EQ(f.log[i].colour, colours[i]) << i;
    EXPECT_EQ(f.States(), (std::vector<std::string>{"Done", "Error"}));
}

TEST(BatchDriver, PropertiesForWmvAndMpeg) {
    Fake f;
    f.Add("D:\\Clips", "a.mpg", 4);
    f.settings = SameFolderAvi();
    f.settings.format = OutputKind::Wmv;
    f.settings.videoCodecIndex = 0;
    f.settings.videoCodecIds = {u"vid"};
    f.settings.audioCodecIndex = 3;  // beyond the list: not set
    f.settings.audioCodecIds = {u"aud"};
    f.settings.wmvProfileIndex = -1;
    f.Run();
    // WMV sends empty codecs after the format, whatever was chosen for AVI.
    EXPECT_EQ(std::vector<std::string>(f.calls.begin(), f.calls.begin() + 10),
              (std::vector<std::string>{"InputFile=D:\\Clips\\a.mpg", "OutputFile=D:\\Clips\\a.wmv", "VideoCodec=vid",
                                        "OutputFormat=1", "VideoCodec=", "AudioCodec=", "OutputWMVProfile=-1",
                                        "OutputWidth=0", "OutputHeight=0", "OutputFramerate=0"}));

    for (int index : {2, 7, 9}) {
        Fake m;
        m.Add("D:\\Clips", "a.avi", 4);
        m.settings = SameFolderAvi();
        m.settings.format = OutputKind::Mpeg;
        m.settings.mpegFormatIndex = index;
        m.Run();
        const int formats = m.Count("OutputFormat=4") + m.Count("OutputFormat=8");
        EXPECT_EQ(formats, index == 9 ? 0 : 1) << index;  // 2 is VCD PAL, 7 DVD PAL, 9 none
        EXPECT_EQ(m.Count("Start"), 1);
    }
}

TEST(BatchDriver, ASizeTextThatIsNoNumberFailsTheRowBeforeAnyStart) {
    Fake f;
    f.Add("D:\\Clips", "a.mpg", 4);
    f.Add("D:\\Clips", "b.mpg", 4);
    f.settings = SameFolderAvi();
    f.settings.frameRate = u"29.97";
    f.Run();
    EXPECT_EQ(f.starts, 0);
    EXPECT_EQ(f.States(), (std::vector<std::string>{"Error", "Error"}));
    EXPECT_EQ(f.log[1].text, "Error occurs: The output frame rate \"29.97\" is neither Source nor a whole number.");
    EXPECT_EQ(f.driver.FailedCount(), 2);
    f.ExpectCountsAddUp();
}

TEST(BatchDriver, CollisionPolicies) {
    struct Case {
        CollisionPolicy policy;
        std::vector<bool> answers;
        std::string rule;
        std::vector<std::string> taken;  // besides a.avi
        std::string state;
        std::string output;  // what the control was given, or "" for none
        std::vector<std::string> lines;
    };
    const std::string start = "Start converting D:\\Clips\\a.mpg -> ";
    const Case cases[] = {
        {CollisionPolicy::Skip, {}, "", {}, "Skip", "", {start + "a.avi", "Skip D:\\Clips\\a.mpg"}},
        {CollisionPolicy::Query, {false}, "", {}, "Skip", "", {start + "a.avi", "Skip D:\\Clips\\a.mpg"}},
        {CollisionPolicy::Query, {true}, "", {}, "Done", "D:\\Clips\\a.avi", {start + "a.avi", "Done."}},
        {CollisionPolicy::Overwrite, {}, "", {}, "Done", "D:\\Clips\\a.avi", {start + "a.avi", "Done."}},
        {CollisionPolicy::AutoRename, {}, "%_copy", {}, "Done", "D:\\Clips\\a_copy.avi",
         {start + "a.avi", "Output file exists. Auto rename a.avi to a_copy.avi", start + "a_copy.avi", "Done."}},
        {CollisionPolicy::AutoRename, {}, "new_%", {}, "Done", "D:\\Clips\\new_a.avi",
         {start + "a.avi", "Output file exists. Auto rename a.avi to new_a.avi", start + "new_a.avi", "Done."}},
        {CollisionPolicy::AutoRename, {}, "x", {}, "Done", "D:\\Clips\\ax.avi",
         {start + "a.avi", "Output file exists. Auto rename a.avi to ax.avi", start + "ax.avi", "Done."}},
        // The renamed name is tested again: an existing a_copy.avi stays.
        {CollisionPolicy::AutoRename, {}, "%_copy", {"d:\\clips\\a_copy.avi"}, "Done", "D:\\Clips\\a_copy_copy.avi",
         {start + "a.avi", "Output file exists. Auto rename a.avi to a_copy_copy.avi", start + "a_copy_copy.avi",
          "Done."}},
        // No free name: skipped with the skip line, nothing overwritten.
        {CollisionPolicy::AutoRename, {}, "%", {}, "Skip", "", {start + "a.avi", "Skip D:\\Clips\\a.mpg"}},
    };
    for (const Case& c : cases) {
        Fake f;
        f.Add("D:\\Clips", "a.mpg", 4);
        f.files.insert("d:\\clips\\a.avi");
        for (const auto& t : c.taken) f.files.insert(t);
        f.settings = SameFolderAvi();
        f.settings.collision = c.policy;
        f.settings.renamingRule = forms::Utf8ToText(c.rule);
        f.overwriteAnswers.assign(c.answers.begin(), c.answers.end());
        f.Run();
        const std::string what = std::to_string(static_cast<int>(c.policy)) + " " + c.rule;
        EXPECT_EQ(f.States(), std::vector<std::string>{c.state}) << what;
        EXPECT_EQ(f.asked, c.policy == CollisionPolicy::Query ? 1 : 0) << what;
        EXPECT_EQ(f.Count("OutputFile=" + c.output), c.output.empty() ? 0 : 1) << what;
        EXPECT_EQ(f.starts, c.output.empty() ? 0 : 1) << what;
        std::vector<std::string> lines = f.LogTexts();
        lines.resize(lines.size() - 4);  // the summary
        EXPECT_EQ(lines, c.lines) << what;
        if (c.state == "Skip") {
            EXPECT_EQ(f.log[1].colour, LogColour::Orange);
            EXPECT_EQ(f.driver.SkipCount(), 1);
        }
        if (!c.output.empty()) {
            EXPECT_EQ(U8(f.driver.Rows()[0].output), c.output) << what;
        }
        // A name already taken is never handed to the control, whatever its case.
        for (const auto& call : f.calls)
            for (const auto& t : c.taken) EXPECT_NE(Fake::Lower(call), "outputfile=" + t) << what;
        f.ExpectCountsAddUp();
    }
}

TEST(BatchDriver, InputEqualToOutputIsSkippedWhateverTheCase) {
    for (const char* name : {"clip.avi", "CLIP.AVI", "Clip.Avi"}) {
        Fake f;
        f.Add("D:\\Clips", name, 4);
        f.settings = SameFolderAvi();
        f.settings.collision = CollisionPolicy::Overwrite;
        f.settings.deleteSource = true;
        f.Run();
        EXPECT_EQ(f.starts, 0) << name;
        EXPECT_EQ(f.States(), std::vector<std::string>{"Skip"}) << name;
        EXPECT_EQ(f.log[1].text, std::string("Input file and output file are the same. Skip D:\\Clips\\") + name);
        EXPECT_EQ(f.log[1].colour, LogColour::Orange);
        EXPECT_TRUE(f.FileExists(u"D:\\Clips\\clip.avi")) << name;
    }
    // Another spelling of the same folder is the same file too.
    Fake f;
    f.Add("D:\\Clips", "clip.avi", 4);
    f.settings = SameFolderAvi();
    f.settings.folder = OutputFolderChoice::Custom;
    f.settings.customFolder = u"d:/clips/./";
    f.settings.collision = CollisionPolicy::Overwrite;
    f.Run();
    EXPECT_EQ(f.starts, 0);
    EXPECT_EQ(f.States(), std::vector<std::string>{"Skip"});
}

// A custom output folder that links to the source folder, with Overwrite
// or Query answered Yes, deleted the sources: the text comparison saw two
// different paths.
TEST(BatchDriver, TheSourceUnderAnotherSpellingIsSkippedAndKept) {
    for (CollisionPolicy policy : {CollisionPolicy::Overwrite, CollisionPolicy::Query, CollisionPolicy::AutoRename}) {
        Fake f;
        f.Add("D:\\Clips", "clip.avi", 4);
        f.aliases["e:\\link\\clip.avi"] = "d:\\clips\\clip.avi";
        f.files.insert("e:\\link\\clip.avi");
        // Auto renaming lands on the source too.
        f.aliases["e:\\link\\clip_copy.avi"] = "d:\\clips\\clip.avi";
        f.files.insert("e:\\link\\clip_copy.avi");
        f.folders.insert("e:\\link\\");
        f.overwriteAnswers = {true};
        f.settings = SameFolderAvi();
        f.settings.folder = OutputFolderChoice::Custom;
        f.settings.customFolder = u"E:\\Link";
        f.settings.collision = policy;
        f.settings.deleteSource = true;
        f.Run();
        EXPECT_EQ(f.starts, 0);
        EXPECT_EQ(f.asked, 0);
        EXPECT_EQ(f.States(), std::vector<std::string>{"Skip"});
        EXPECT_TRUE(f.FileExists(u"D:\\Clips\\clip.avi"));
        EXPECT_EQ(f.log[1].text, "Input file and output file are the same. Skip D:\\Clips\\clip.avi");
    }
}

// A conversion whose progress stood still was never ended; once ended by
// the watchdog it fails, and what it wrote goes.
TEST(BatchDriver, AStalledConversionFailsAndItsOutputGoes) {
    Fake f;
    f.Add("D:\\Clips", "stuck.mpg", 4);
    f.Add("D:\\Clips", "good.mpg", 4);
    f.behaviour["D:\\Clips\\stuck.mpg"] = Behaviour::RunsUntilStopped;
    f.settings = SameFolderAvi();
    f.settings.deleteSource = true;
    f.onPump = [&](int pump) {
        if (pump == 2) {
            f.files.insert("d:\\clips\\stuck.avi");  // what it wrote so far
            f.driver.StalledStop();
        }
    };
    f.Run();
    EXPECT_EQ(f.States(), (std::vector<std::string>{"Error", "Done"}));
    EXPECT_EQ(f.log[1].text, "Error occurs: The conversion made no progress for 60 seconds and was stopped.");
    EXPECT_FALSE(f.FileExists(u"D:\\Clips\\stuck.avi"));
    EXPECT_TRUE(f.FileExists(u"D:\\Clips\\stuck.mpg"));
    // The next row's output stays.
    EXPECT_TRUE(f.FileExists(u"D:\\Clips\\good.avi"));
    f.ExpectCountsAddUp();
}

TEST(BatchDriver, AFailedStartCountsOnceAsAnErrorAndDeletesNothing) {
    for (Behaviour b : {Behaviour::FailsAtStart, Behaviour::FailsWhileRunning}) {
        Fake f;
        f.Add("D:\\Clips", "bad.mpg", 4);
        f.Add("D:\\Clips", "good.mpg", 6);
        f.behaviour["D:\\Clips\\bad.mpg"] = b;
        f.settings = SameFolderAvi();
        f.settings.deleteSource = true;
        f.Run();
        EXPECT_EQ(f.States(), (std::vector<std::string>{"Error", "Done"}));
        EXPECT_EQ(f.driver.FailedCount(), 1);
        EXPECT_EQ(f.driver.DoneCount(), 1);
        EXPECT_EQ(f.driver.RemainingCount(), 0);
        f.ExpectCountsAddUp();
        // The failed row's source stays; the good one's goes.
        EXPECT_TRUE(f.FileExists(u"D:\\Clips\\bad.mpg"));
        EXPECT_FALSE(f.FileExists(u"D:\\Clips\\good.mpg"));
        const auto lines = f.LogTexts();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Done."), 1);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Source file deleted."), 1);
        EXPECT_EQ(lines.back(), "Total Files: 2   Done: 1   Remaining: 0   Skip: 0   Failed: 1");
        EXPECT_EQ(f.driver.FinishedSecondsValue(), 10);
    }
}

TEST(BatchDriver, AStartWithoutAnyEventFailsAndTheRunGoesOn) {
    Fake f;
    f.Add("D:\\Clips", "a.mpg", 4);
    f.Add("D:\\Clips", "b.mpg", 4);
    f.behaviour["D:\\Clips\\a.mpg"] = Behaviour::Silent;
    f.settings = SameFolderAvi();
    f.Run();
    EXPECT_EQ(f.States(), (std::vector<std::string>{"Error", "Done"}));
    EXPECT_EQ(f.log[1].text, "Error occurs: The conversion could not be started.");
    EXPECT_LT(f.pumps, 10);
}

TEST(BatchDriver, TheOutputFolderIsMadeOrTheRowFails) {
    Fake f;
    f.Add("D:\\Clips", "a.mpg", 4);
    f.settings = SameFolderAvi();
    f.settings.folder = OutputFolderChoice::Custom;
    f.settings.customFolder = u"E:\\New\\Out";
    f.Run();
    EXPECT_EQ(f.States(), std::vector<std::string>{"Done"});
    EXPECT_TRUE(f.folders.count("e:\\new\\out\\"));

    Fake g;
    g.Add("D:\\Clips", "a.mpg", 4);
    g.settings = f.settings;
    g.foldersCreatable = false;
    g.Run();
    EXPECT_EQ(g.starts, 0);
    EXPECT_EQ(g.States(), std::vector<std::string>{"Error"});
    EXPECT_EQ(g.log[1].text, "Error occurs: The output folder E:\\New\\Out\\ cannot be created.");

    Fake h;
    h.Add("D:\\Clips", "a.mpg", 4);
    h.settings = f.settings;
    h.settings.customFolder = u"";
    h.Run();
    EXPECT_EQ(h.starts, 0);
    EXPECT_EQ(h.log[1].text, "Error occurs: No output folder is set.");
}

TEST(BatchDriver, SourceDeletionOnlyAfterARealOutput) {
    Fake f;
    f.Add("D:\\Clips", "a.mpg", 4);
    f.settings = SameFolderAvi();
    f.settings.deleteSource = true;
    f.deletable = false;
    f.Run();
    // A deletion that fails writes no line and keeps the row done.
    EXPECT_EQ(f.States(), std::vector<std::string>{"Done"});
    const auto lines = f.LogTexts();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Source file deleted."), 0);

    Fake g;
    g.Add("D:\\Clips", "a.mpg", 4);
    g.settings = f.settings;
    g.Run();
    EXPECT_FALSE(g.FileExists(u"D:\\Clips\\a.mpg"));
    EXPECT_EQ(g.log[2].text, "Source file deleted.");
    EXPECT_EQ(g.log[2].colour, LogColour::Green);
}

TEST(BatchDriver, PauseTakesEffectAfterTheRowAndResumeGoesOn) {
    Fake f;
    for (const char* n : {"a.mpg", "b.mpg", "c.mpg"}) f.Add("D:\\Clips", n, 4);
    f.settings = SameFolderAvi();
    int startsAtResume = -1;
    f.onPump = [&](int pump) {
        if (pump == 1) f.driver.PauseClicked();  // during row 1
        if (pump == 5) {
            startsAtResume = f.starts;
            EXPECT_EQ(U8(f.driver.RunState()), "Paused");
            f.driver.PauseClicked();
        }
    };
    f.Run();
    EXPECT_EQ(startsAtResume, 1);  // nothing started while paused
    EXPECT_EQ(f.States(), (std::vector<std::string>{"Done", "Done", "Done"}));
    const std::vector<std::string> lines = f.LogTexts();
    ASSERT_GE(lines.size(), 6u);
    const std::vector<std::string> head(lines.begin(), lines.begin() + 6);
    EXPECT_EQ(head, (std::vector<std::string>{"Start converting D:\\Clips\\a.mpg -> a.avi",
                                               "Finishing current converting before pasue. Please wait...", "Done.",
                                               "Paused.", "Resume converting",
                                               "Start converting D:\\Clips\\b.mpg -> b.avi"}));
    EXPECT_EQ(f.log[1].colour, LogColour::Green);
    EXPECT_EQ(f.log[3].colour, LogColour::Blue);
    EXPECT_EQ(f.log[4].colour, LogColour::Blue);
}

TEST(BatchDriver, StopWhilePausedEndsTheRunAndLeavesTheFinishedRow) {
    Fake f;
    for (const char* n : {"a.mpg", "b.mpg", "c.mpg"}) f.Add("D:\\Clips", n, 4);
    f.settings = SameFolderAvi();
    f.onPump = [&](int pump) {
        if (pump == 1) f.driver.PauseClicked();
        if (pump == 4) f.driver.StopConfirmed();
    };
    f.Run();
    EXPECT_EQ(f.Count("Stop"), 0);  // nothing ran, nothing to stop
    EXPECT_EQ(f.States(), (std::vector<std::string>{"Done", "Ready", "Ready"}));
    EXPECT_EQ(f.driver.DoneCount(), 1);
    EXPECT_EQ(f.driver.RemainingCount(), 2);
    EXPECT_EQ(f.LogTexts().back(), "Total Files: 3   Done: 1   Remaining: 2   Skip: 0   Failed: 0");
    const auto lines = f.LogTexts();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Stop converting."), 0);
}

TEST(BatchDriver, StopDuringAConversionReturnsTheRowToReady) {
    Fake f;
    for (const char* n : {"a.mpg", "b.mpg"}) f.Add("D:\\Clips", n, 4);
    f.behaviour["D:\\Clips\\a.mpg"] = Behaviour::RunsUntilStopped;
    f.settings = SameFolderAvi();
    f.onPump = [&](int pump) {
        if (pump == 3) f.driver.StopConfirmed();
    };
    f.Run();
    EXPECT_EQ(f.Count("Stop"), 1);
    EXPECT_EQ(f.States(), (std::vector<std::string>{"Ready", "Ready"}));
    EXPECT_EQ(f.log[1].text, "Stop converting.");
    EXPECT_EQ(f.log[1].colour, LogColour::Green);
    EXPECT_EQ(f.driver.RemainingCount(), 2);
    EXPECT_EQ(f.starts, 1);
    EXPECT_EQ(U8(f.driver.RunState()), "Stoped");
}

TEST(BatchDriver, StopBeforeTheRunBeginsOrAfterASkipStartsAndStopsNothing) {
    Fake f;
    f.Add("D:\\Clips", "a.mpg", 4);
    f.settings = SameFolderAvi();
    f.driver.BuildStatusList(f.tasks, f.settings);
    f.driver.StopConfirmed();  // during the second before the run
    f.driver.RunTasks(f.settings);
    EXPECT_EQ(f.starts, 0);
    EXPECT_EQ(f.Count("Stop"), 0);
    EXPECT_EQ(f.States(), std::vector<std::string>{"Ready"});
    EXPECT_EQ(f.driver.RemainingCount(), 1);
    EXPECT_EQ(U8(f.lastFolder), "");

    // A skipped first row, then Stop: the stray Complete of an idle
    // control touches no row.
    Fake g;
    g.Add("D:\\Clips", "a.avi", 4);
    g.Add("D:\\Clips", "b.mpg", 4);
    g.settings = SameFolderAvi();
    g.driver.BuildStatusList(g.tasks, g.settings);
    g.driver.OnComplete();
    g.driver.OnError(1, u"stray");
    g.driver.RunTasks(g.settings);
    EXPECT_EQ(g.States(), (std::vector<std::string>{"Skip", "Done"}));
    g.driver.StopConfirmed();
    g.driver.OnComplete();
    g.driver.WatchdogStop();
    EXPECT_EQ(g.Count("Stop"), 0);
    EXPECT_EQ(g.States(), (std::vector<std::string>{"Skip", "Done"}));
    EXPECT_EQ(g.driver.DoneCount(), 1);
}

TEST(BatchDriver, PauseBeforeTheRunWaitsBeforeTheFirstRow) {
    Fake f;
    f.Add("D:\\Clips", "a.mpg", 4);
    f.settings = SameFolderAvi();
    f.driver.BuildStatusList(f.tasks, f.settings);
    f.driver.PauseClicked();
    int startsWhilePaused = -1;
    f.onPump = [&](int pump) {
        if (pump == 3) {
            startsWhilePaused = f.starts;
            f.driver.PauseClicked();
        }
    };
    f.driver.RunTasks(f.settings);
    EXPECT_EQ(startsWhilePaused, 0);
    EXPECT_EQ(f.States(), std::vector<std::string>{"Done"});
}

TEST(BatchDriver, WatchdogStopCountsTheRowDone) {
    Fake f;
    f.Add("D:\\Clips", "a.mpg", 4);
    f.behaviour["D:\\Clips\\a.mpg"] = Behaviour::RunsUntilStopped;
    f.settings = SameFolderAvi();
    f.onPump = [&](int pump) {
        if (pump == 2) f.driver.WatchdogStop();
    };
    f.Run();
    EXPECT_EQ(f.States(), std::vector<std::string>{"Done"});
    EXPECT_EQ(f.driver.DoneCount(), 1);
}

TEST(BatchDriver, SecondsFollowTheFinishedRows) {
    Fake f;
    f.Add("D:\\Clips", "a.mpg", 3);
    f.Add("D:\\Clips", "b.mpg", 5);
    f.Add("D:\\Clips", "c.mpg", 7);
    f.behaviour["D:\\Clips\\b.mpg"] = Behaviour::RunsUntilStopped;
    f.settings = SameFolderAvi();
    int current = -1, finished = -1;
    f.onPump = [&](int) {
        if (f.driver.CurrentIndex() == 1 && current < 0) {
            current = f.driver.CurrentSecondsValue();
            finished = f.driver.FinishedSecondsValue();
            f.driver.WatchdogStop();
        }
    };
    f.Run();
    EXPECT_EQ(current, 5);
    EXPECT_EQ(finished, 3);
    EXPECT_EQ(f.driver.FinishedSecondsValue(), 15);

    // A batch of rows without seconds ends at 0%, never dividing by 0.
    Fake z;
    z.Add("D:\\Clips", "a.mpg", 0);
    z.settings = SameFolderAvi();
    z.Run();
    EXPECT_EQ(z.finalPercent, 0);
}

TEST(BatchDriver, AnEmptyListSaysSoAndRunsNothing) {
    Fake f;
    f.driver.BuildStatusList({}, SameFolderAvi());
    f.driver.RunTasks(SameFolderAvi());
    EXPECT_EQ(f.information, std::vector<std::string>{"Pleaes add source files to Task List."});
    EXPECT_EQ(f.ended, 0);
}

TEST(BatchDriver, TheProgramEndingStopsTheRun) {
    Fake f;
    for (const char* n : {"a.mpg", "b.mpg"}) f.Add("D:\\Clips", n, 4);
    f.behaviour["D:\\Clips\\a.mpg"] = Behaviour::RunsUntilStopped;
    f.settings = SameFolderAvi();
    f.onPump = [&](int pump) {
        if (pump == 2) f.ending = true;
    };
    f.Run();
    EXPECT_EQ(f.Count("Stop"), 1);
    EXPECT_EQ(f.starts, 1);
    EXPECT_EQ(U8(f.lastFolder), "");  // no after-run actions while the program ends
}
