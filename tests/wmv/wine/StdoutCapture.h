// Captures what the process writes to its standard output (file
// descriptor 1) between construction and Text().
#pragma once

#include <string>

namespace wmvtest {

class StdoutCapture {
public:
    StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;
    ~StdoutCapture();

    // Ends the capture (once) and returns what was written.
    std::string Text();

private:
    int m_saved = -1;
    int m_file = -1;
    std::string m_text;
};

}  // namespace wmvtest
