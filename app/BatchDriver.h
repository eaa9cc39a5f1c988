// The batch conversion driver: the status list built from the task list,
// the run loop that converts its rows one after another through the
// conversion control, the collision policy, the row and run states, the
// counters and the log lines. No platform headers: the progress window
// drives it with the real control, the native tests with a fake one.
//
// All of it runs on the GUI thread. The loop waits for a conversion by
// letting the host pump messages; the control's events, the Pause and
// Stop buttons and the progress tick arrive inside that pump. Events are
// only recorded when they come and settled by the loop once the message
// that carried them has been handled, so a start that fails with
// Complete followed by Error settles once, as an error.
#pragma once

#include <vector>

#include "app/BatchRules.h"

namespace app {

// A row's state; the value is its state image.
enum class RowState { Ready = 0, Converting = 1, Skip = 2, Error = 3, Done = 4 };
// "Ready", "Converting", "Skip", "Error" or "Done".
String RowStatusText(RowState state);

// The run states, compared exactly.
extern const char16_t* const kRunConverting;  // "Converting"
extern const char16_t* const kRunPaused;      // "Paused"
extern const char16_t* const kRunStopped;     // "Stoped"

// One row of the task list, as the status list needs it.
struct TaskRow {
    String folder;    // the task row's "Path"
    String fileName;  // its caption
    String duration;  // "00:01:05"
    String seconds;   // whole seconds, as text
};

// One row of the status list (the sub-items of the window's list).
struct StatusRow {
    String source;        // folder + "\" + file name
    String sourceFormat;  // "AVI", "MPG"...
    String duration;
    String output;        // output folder + base name + "." + format
    String outputFormat;  // "AVI", "MPG" or "WMV"
    RowState state = RowState::Ready;
    String seconds;
};

// The output settings and options the run reads.
struct BatchSettings {
    OutputFolderChoice folder = OutputFolderChoice::Default;
    String programFolder;
    String customFolder;
    OutputKind format = OutputKind::Avi;
    int videoCodecIndex = -1;  // the compressor combos' selections
    int audioCodecIndex = -1;
    std::vector<String> videoCodecIds;  // the identifiers behind the combos' entries
    std::vector<String> audioCodecIds;
    int mpegFormatIndex = -1;
    int wmvProfileIndex = -1;
    String width = u"Source";
    String height = u"Source";
    String frameRate = u"Source";
    CollisionPolicy collision = CollisionPolicy::Query;
    String renamingRule = u"%_copy";
    bool deleteSource = false;
};

// The conversion control, as the driver uses it.
class IConverter {
public:
    virtual ~IConverter() = default;
    virtual void SetInputFile(const String& path) = 0;
    virtual void SetOutputFile(const String& path) = 0;
    virtual void SetVideoCodec(const String& id) = 0;
    virtual void SetAudioCodec(const String& id) = 0;
    virtual void SetOutputFormat(int format) = 0;
    virtual void SetOutputWMVProfile(int profile) = 0;
    virtual void SetOutputWidth(int width) = 0;
    virtual void SetOutputHeight(int height) = 0;
    virtual void SetOutputFramerate(double rate) = 0;
    // Its events come back through BatchDriver's On... members.
    virtual void StartConversion() = 0;
    virtual void StopConversion() = 0;
};

// The window and the machine around the run.
class IBatchHost {
public:
    virtual ~IBatchHost() = default;
    // The current time in the system's long time format.
    virtual String TimeText() = 0;
    virtual void AddLogLine(const String& text, LogColour colour) = 0;
    // A row's output path or state changed.
    virtual void RowChanged(int index) = 0;
    virtual bool FileExists(const String& path) = 0;
    // Whether both paths open one existing file, however they are spelt
    // (a linked folder, a prefix, a short name, another drive letter).
    virtual bool SameFile(const String& a, const String& b) = 0;
    // Makes the folder with any missing parents; true when it exists.
    virtual bool CreateFolder(const String& folder) = 0;
    virtual bool RemoveFile(const String& path) = 0;
    // "Output file already exists. Do you wish to overwrite it?": true for Yes.
    virtual bool AskOverwrite() = 0;
    virtual void Information(const String& text) = 0;
    // The display fields are reset and the progress tick starts.
    virtual void RunStarting() = 0;
    // A conversion is about to start: caption and the Preview page.
    virtual void ConversionStarting() = 0;
    // The Pause button was pressed (RunState tells which way).
    virtual void PauseChanged() = 0;
    // After the last row: the Log page and the final total percentage.
    virtual void RunEnding(int totalPercent) = 0;
    // The progress tick stops, the buttons change, the after-run actions
    // run for the output folder of the last row reached (empty: none).
    virtual void RunEnded(const String& lastOutputFolder) = 0;
    // Handles messages, waiting for one when there are none; false once the
    // program is ending.
    virtual bool Pump() = 0;
};

class BatchDriver {
public:
    BatchDriver(IConverter& converter, IBatchHost& host);

    // Builds the status rows (all "Ready") and arms the run.
    void BuildStatusList(const std::vector<TaskRow>& tasks, const BatchSettings& settings);
    // Converts the rows one after another; returns after the summary and
    // the after-run actions.
    void RunTasks(const BatchSettings& settings);

    // The control's events.
    void OnAboutToRun();
    void OnComplete();
    void OnError(int code, const String& message);

    // Pause toggles between "Converting" and "Paused"; the pause takes
    // effect after the current row.
    void PauseClicked();
    // Stop was confirmed: ends the running conversion, if one runs, and the
    // run after the current row.
    void StopConfirmed();
    // The progress watchdog: ends a running conversion as if it completed.
    void WatchdogStop();
    // The watchdog saw no progress: ends the running conversion as failed
    // and removes what it wrote.
    void StalledStop();

    const std::vector<StatusRow>& Rows() const { return m_rows; }
    const String& RunState() const { return m_runState; }
    bool Busy() const { return m_busy; }
    bool Running() const { return m_running; }
    int CurrentIndex() const { return m_currentIndex; }
    int TotalCount() const { return m_totalCount; }
    int DoneCount() const { return m_doneCount; }
    int SkipCount() const { return m_skipCount; }
    int FailedCount() const { return m_failedCount; }
    int RemainingCount() const { return m_remainingCount; }
    int TotalSecondsValue() const { return m_totalSeconds; }
    int FinishedSecondsValue() const { return m_finishedSeconds; }
    int CurrentSecondsValue() const { return m_currentSeconds; }

    // Sums of the rows' whole seconds (texts that are no integer add nothing).
    int TotalSeconds() const;
    // The leading rows up to the first that is still ready or converting.
    int FinishedSeconds() const;
    // The row being converted, or 0.
    int CurrentTaskSeconds() const;

private:
    struct Outcome {
        bool aboutToRun = false;
        bool complete = false;
        bool completeAfterStop = false;
        bool error = false;
        String errorMessage;
    };

    String Line(const String& text);
    void Log(const String& text, LogColour colour);
    void SetState(int index, RowState state);
    void RunRow(int index);
    bool ResolveCollision(int index);
    bool ApplySettings(int index);
    void Convert(int index);
    void Settle();
    void MarkSkipped(int index, const String& logText);
    void MarkDone(int index);
    void MarkFailed(int index, const String& message);
    void MarkStopped(int index);
    // The row's source and output are one file under any spelling.
    bool SameSourceAndOutput(const StatusRow& row);
    void UpdateRemaining();
    // After each row: false to leave the loop.
    bool HonourPauseAndStop();
    void Finish();
    bool ValidRow(int index) const { return index >= 0 && index < static_cast<int>(m_rows.size()); }
    bool ConversionInFlight() const { return m_inFlight && !m_outcome.complete && !m_outcome.error; }

    IConverter& m_converter;
    IBatchHost& m_host;
    BatchSettings m_settings;
    std::vector<StatusRow> m_rows;

    String m_runState;
    bool m_busy = false;
    bool m_running = false;
    bool m_ending = false;  // the program is closing
    int m_currentIndex = -1;
    int m_totalCount = 0, m_doneCount = 0, m_skipCount = 0, m_failedCount = 0, m_remainingCount = 0;
    int m_totalSeconds = 0, m_finishedSeconds = 0, m_currentSeconds = 0;

    // The conversion started last, until it is settled.
    bool m_inFlight = false;
    bool m_stopRequested = false;
    bool m_removeOutput = false;  // the failure is the watchdog's: the control kept the file
    Outcome m_outcome;
};

}  // namespace app
