#include "app/BatchDriver.h"

#include "framework/forms/Rounding.h"

namespace app {

const char16_t* const kRunConverting = u"Converting";
const char16_t* const kRunPaused = u"Paused";
const char16_t* const kRunStopped = u"Stoped";

String RowStatusText(RowState state) {
    switch (state) {
    case RowState::Ready: return u"Ready";
    case RowState::Converting: return u"Converting";
    case RowState::Skip: return u"Skip";
    case RowState::Error: return u"Error";
    case RowState::Done: break;
    }
    return u"Done";
}

namespace {

int SecondsOf(const String& text) {
    int value = 0;
    return forms::TryStrToInt(text, value) ? value : 0;
}

}  // namespace

BatchDriver::BatchDriver(IConverter& converter, IBatchHost& host) : m_converter(converter), m_host(host) {}

// ---- The status list ----------------------------------------------------------------

void BatchDriver::BuildStatusList(const std::vector<TaskRow>& tasks, const BatchSettings& settings) {
    if (m_running) return;
    m_rows.clear();
    for (const TaskRow& t : tasks) {
        StatusRow r;
        r.source = forms::IncludeTrailingBackslash(t.folder) + t.fileName;
        r.sourceFormat = SourceFormatText(t.fileName);
        r.duration = t.duration;
        const String folder =
            OutputFolderFor(settings.folder, settings.programFolder, t.folder, settings.customFolder);
        r.output = OutputPathFor(folder, t.fileName, settings.format);
        r.outputFormat = OutputFormatText(settings.format);
        r.seconds = t.seconds;
        m_rows.push_back(r);
    }
    m_totalSeconds = TotalSeconds();
    m_finishedSeconds = 0;
    m_currentSeconds = 0;
    m_currentIndex = -1;
    m_busy = false;
    m_inFlight = false;
    m_totalCount = static_cast<int>(m_rows.size());
    m_doneCount = m_skipCount = m_failedCount = 0;
    m_remainingCount = m_totalCount;
    // Armed: Pause or Stop pressed before the first row count for it.
    m_runState = kRunConverting;
}

int BatchDriver::TotalSeconds() const {
    int sum = 0;
    for (const StatusRow& r : m_rows) sum += SecondsOf(r.seconds);
    return sum;
}

int BatchDriver::FinishedSeconds() const {
    if (m_rows.empty()) return 0;
    int sum = SecondsOf(m_rows[0].seconds);
    for (size_t i = 1; i < m_rows.size(); ++i) {
        const RowState s = m_rows[i].state;
        if (s == RowState::Ready || s == RowState::Converting) break;
        sum += SecondsOf(m_rows[i].seconds);
    }
    return sum;
}

int BatchDriver::CurrentTaskSeconds() const {
    for (const StatusRow& r : m_rows)
        if (r.state == RowState::Converting) return SecondsOf(r.seconds);
    return 0;
}

// ---- The run loop -------------------------------------------------------------------

String BatchDriver::Line(const String& text) { return u">>> " + m_host.TimeText() + u" " + text; }

void BatchDriver::Log(const String& text, LogColour colour) { m_host.AddLogLine(Line(text), colour); }

void BatchDriver::SetState(int index, RowState state) {
    if (!ValidRow(index)) return;
    m_rows[static_cast<size_t>(index)].state = state;
    m_host.RowChanged(index);
}

void BatchDriver::RunTasks(const BatchSettings& settings) {
    if (m_running) return;
    if (m_rows.empty()) {
        m_host.Information(u"Pleaes add source files to Task List.");
        return;
    }
    m_running = true;
    m_ending = false;
    m_settings = settings;
    m_host.RunStarting();
    m_totalCount = static_cast<int>(m_rows.size());
    m_doneCount = 0;
    m_remainingCount = m_totalCount;
    m_failedCount = 0;
    m_skipCount = 0;
    // A Pause or Stop pressed while the run waited to begin holds.
    const bool heldBeforeStart = m_runState == kRunPaused || m_runState == kRunStopped;
    if (!heldBeforeStart) m_runState = kRunConverting;

    int last = -1;
    if (!heldBeforeStart || HonourPauseAndStop()) {
        for (int i = 0; i < static_cast<int>(m_rows.size()); ++i) {
            last = i;
            RunRow(i);
            if (!HonourPauseAndStop()) break;
        }
    }

    const String lastFolder =
        ValidRow(last) ? forms::ExtractFilePath(m_rows[static_cast<size_t>(last)].output) : String();
    Finish();
    m_running = false;
    m_host.RunEnded(m_ending ? String() : lastFolder);
}

bool BatchDriver::HonourPauseAndStop() {
    if (m_runState == kRunStopped) return false;
    if (m_runState == kRunPaused) {
        Log(u"Paused.", LogColour::Blue);
        while (m_runState == kRunPaused) {
            if (!m_host.Pump()) {
                m_ending = true;
                m_runState = kRunStopped;
            }
        }
        return m_runState != kRunStopped;
    }
    return !m_ending;
}

void BatchDriver::RunRow(int index) {
    StatusRow& row = m_rows[static_cast<size_t>(index)];
    Log(u"Start converting " + row.source + u" -> " + forms::ExtractFileName(row.output), LogColour::Blue);
    // The same file under another spelling is still the same file: with
    // Overwrite the start would delete the source.
    if (SameSourceAndOutput(row)) {
        MarkSkipped(index, u"Input file and output file are the same. Skip " + row.source);
        return;
    }
    if (!ResolveCollision(index)) return;
    if (!ApplySettings(index)) return;
    Convert(index);
}

bool BatchDriver::ResolveCollision(int index) {
    StatusRow& row = m_rows[static_cast<size_t>(index)];
    if (!m_host.FileExists(row.output)) return true;
    const String skipLine = u"Skip " + row.source;
    switch (m_settings.collision) {
    case CollisionPolicy::Skip:
        MarkSkipped(index, skipLine);
        return false;
    case CollisionPolicy::Query:
        if (m_host.AskOverwrite()) return true;
        MarkSkipped(index, skipLine);
        return false;
    case CollisionPolicy::AutoRename: {
        const String folder = forms::ExtractFilePath(row.output);
        const String oldName = forms::ExtractFileName(row.output);
        const String newName = FreeRenamedFileName(m_settings.renamingRule, oldName, folder,
                                                   [this](const String& p) { return m_host.FileExists(p); });
        // A renamed name that is taken as well is never overwritten.
        const String renamed = folder + newName;
        if (newName.empty() || SamePath(renamed, row.source) || m_host.SameFile(renamed, row.source)) {
            MarkSkipped(index, skipLine);
            return false;
        }
        Log(u"Output file exists. Auto rename " + oldName + u" to " + newName, LogColour::Blue);
        row.output = folder + newName;
        m_host.RowChanged(index);
        Log(u"Start converting " + row.source + u" -> " + newName, LogColour::Blue);
        return true;
    }
    case CollisionPolicy::Overwrite: break;
    }
    return true;
}

bool BatchDriver::ApplySettings(int index) {
    const StatusRow& row = m_rows[static_cast<size_t>(index)];
    const BatchSettings& s = m_settings;
    int width = 0, height = 0, rate = 0;
    struct Dimension {
        const String& text;
        int& value;
        const char16_t* name;
    };
    for (const Dimension& d : {Dimension{s.width, width, u"output width"},
                               Dimension{s.height, height, u"output height"},
                               Dimension{s.frameRate, rate, u"output frame rate"}}) {
        if (!OutputDimension(d.text, d.value)) {
            MarkFailed(index, u"The " + String(d.name) + u" \"" + d.text + u"\" is neither Source nor a whole number.");
            return false;
        }
    }
    // The control starts by deleting an existing output, but makes no
    // folder: a missing one would end the start without a word.
    const String folder = forms::ExtractFilePath(row.output);
    if (folder.empty()) {
        MarkFailed(index, u"No output folder is set.");
        return false;
    }
    if (!m_host.CreateFolder(folder)) {
        MarkFailed(index, u"The output folder " + folder + u" cannot be created.");
        return false;
    }

    m_converter.SetInputFile(row.source);
    m_converter.SetOutputFile(row.output);
    if (s.videoCodecIndex >= 0 && s.videoCodecIndex < static_cast<int>(s.videoCodecIds.size()))
        m_converter.SetVideoCodec(s.videoCodecIds[static_cast<size_t>(s.videoCodecIndex)]);
    if (s.audioCodecIndex >= 0 && s.audioCodecIndex < static_cast<int>(s.audioCodecIds.size()))
        m_converter.SetAudioCodec(s.audioCodecIds[static_cast<size_t>(s.audioCodecIndex)]);
    switch (s.format) {
    case OutputKind::Avi: m_converter.SetOutputFormat(0); break;
    case OutputKind::Wmv:
        m_converter.SetOutputFormat(1);
        m_converter.SetVideoCodec(String());
        m_converter.SetAudioCodec(String());
        break;
    case OutputKind::Mpeg: {
        int format = 0;
        if (MpegOutputFormat(s.mpegFormatIndex, format)) m_converter.SetOutputFormat(format);
        break;
    }
    }
    m_converter.SetOutputWMVProfile(s.wmvProfileIndex);
    m_converter.SetOutputWidth(width);
    m_converter.SetOutputHeight(height);
    m_converter.SetOutputFramerate(static_cast<double>(rate));
    return true;
}

void BatchDriver::Convert(int index) {
    SetState(index, RowState::Converting);
    m_currentSeconds = CurrentTaskSeconds();
    m_busy = true;
    m_currentIndex = index;
    m_host.ConversionStarting();

    m_outcome = Outcome();
    m_stopRequested = false;
    m_removeOutput = false;
    m_inFlight = true;
    m_converter.StartConversion();
    // Some failures while the output is set up end the start without any
    // event; without a running graph nothing would ever end the wait.
    if (!m_outcome.aboutToRun && !m_outcome.complete && !m_outcome.error && !m_stopRequested) {
        m_outcome.error = true;
        m_outcome.errorMessage = u"The conversion could not be started.";
    }
    Settle();
    while (m_busy) {
        if (!m_host.Pump()) {
            m_ending = true;
            StopConfirmed();
        }
        Settle();
    }
    Settle();
}

void BatchDriver::Settle() {
    if (!m_inFlight) return;
    if (!m_outcome.complete && !m_outcome.error && !m_stopRequested) return;
    m_inFlight = false;
    const int index = m_currentIndex;
    if (m_outcome.error) MarkFailed(index, m_outcome.errorMessage);
    else if (m_outcome.complete && !m_outcome.completeAfterStop) MarkDone(index);
    else MarkStopped(index);
    m_busy = false;
}

// ---- Row outcomes --------------------------------------------------------------------

void BatchDriver::UpdateRemaining() {
    m_remainingCount = m_totalCount - m_doneCount - m_failedCount - m_skipCount;
}

void BatchDriver::MarkSkipped(int index, const String& logText) {
    Log(logText, LogColour::Orange);
    SetState(index, RowState::Skip);
    ++m_skipCount;
    UpdateRemaining();
    m_busy = false;
}

void BatchDriver::MarkDone(int index) {
    SetState(index, RowState::Done);
    Log(u"Done.", LogColour::Green);
    if (m_settings.deleteSource && ValidRow(index)) {
        const StatusRow& row = m_rows[static_cast<size_t>(index)];
        // Only a source whose output is really there, and is not itself.
        if (!SameSourceAndOutput(row) && m_host.FileExists(row.output) && m_host.RemoveFile(row.source))
            Log(u"Source file deleted.", LogColour::Green);
    }
    m_finishedSeconds = FinishedSeconds();
    ++m_doneCount;
    UpdateRemaining();
}

bool BatchDriver::SameSourceAndOutput(const StatusRow& row) {
    return SamePath(row.source, row.output) || m_host.SameFile(row.source, row.output);
}

void BatchDriver::MarkFailed(int index, const String& message) {
    SetState(index, RowState::Error);
    Log(u"Error occurs: " + message, LogColour::Red);
    if (m_removeOutput && ValidRow(index)) {
        // The control ended it as a stop and kept the file: a failed
        // conversion leaves no partial output behind.
        m_removeOutput = false;
        const StatusRow& row = m_rows[static_cast<size_t>(index)];
        if (!SameSourceAndOutput(row)) m_host.RemoveFile(row.output);
    }
    m_finishedSeconds = FinishedSeconds();
    ++m_failedCount;
    UpdateRemaining();
    m_busy = false;
}

void BatchDriver::MarkStopped(int index) {
    SetState(index, RowState::Ready);
    Log(u"Stop converting.", LogColour::Green);
}

void BatchDriver::Finish() {
    m_host.RunEnding(m_totalSeconds == 0 ? 0
                                         : TotalPercent(0, 0, m_finishedSeconds, m_totalSeconds));
    Log(u"Task finished.", LogColour::Green);
    m_host.AddLogLine(String(), LogColour::White);
    m_host.AddLogLine(u"Summary", LogColour::Navy);
    m_host.AddLogLine(SummaryText(m_totalCount, m_doneCount, m_remainingCount, m_skipCount, m_failedCount),
                      LogColour::Navy);
    m_runState = kRunStopped;
    m_busy = false;
}

// ---- Events and buttons -----------------------------------------------------------------

void BatchDriver::OnAboutToRun() {
    if (m_inFlight) m_outcome.aboutToRun = true;
}

void BatchDriver::OnComplete() {
    // A Complete with nothing in flight (a stop of an idle control, a second
    // Complete of one conversion) belongs to no row.
    if (!m_inFlight || m_outcome.complete) return;
    m_outcome.complete = true;
    m_outcome.completeAfterStop = m_runState == kRunStopped;
}

void BatchDriver::OnError(int, const String& message) {
    if (!m_inFlight || m_outcome.error) return;
    m_outcome.error = true;
    m_outcome.errorMessage = message;
}

void BatchDriver::PauseClicked() {
    if (m_runState == kRunStopped) return;
    if (m_runState != kRunConverting) {
        m_runState = kRunConverting;
        Log(u"Resume converting", LogColour::Blue);
    } else {
        m_runState = kRunPaused;
        Log(u"Finishing current converting before pasue. Please wait...", LogColour::Green);
    }
    m_host.PauseChanged();
}

void BatchDriver::StopConfirmed() {
    m_runState = kRunStopped;
    if (ConversionInFlight()) {
        m_stopRequested = true;
        m_converter.StopConversion();
    }
    m_busy = false;
}

void BatchDriver::WatchdogStop() {
    if (ConversionInFlight()) m_converter.StopConversion();
}

void BatchDriver::StalledStop() {
    if (!ConversionInFlight()) return;
    m_outcome.error = true;
    m_outcome.errorMessage = u"The conversion made no progress for " +
                             forms::IntToStr(ProgressTicker::kStallTicksToStop) + u" seconds and was stopped.";
    m_removeOutput = true;
    m_converter.StopConversion();
}

}  // namespace app
