// Plain POSIX descriptors: the winelib C library writes standard output
// to descriptor 1.
#include "tests/wmv/wine/StdoutCapture.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace wmvtest {

StdoutCapture::StdoutCapture() {
    std::fflush(stdout);
    char name[] = "/tmp/wmvtest-stdout-XXXXXX";
    m_file = mkstemp(name);
    if (m_file < 0) return;
    unlink(name);
    m_saved = dup(1);
    dup2(m_file, 1);
}

StdoutCapture::~StdoutCapture() { Text(); }

std::string StdoutCapture::Text() {
    if (m_saved >= 0) {
        std::fflush(stdout);
        dup2(m_saved, 1);
        close(m_saved);
        m_saved = -1;
        lseek(m_file, 0, SEEK_SET);
        char buf[4096];
        ssize_t n;
        while ((n = read(m_file, buf, sizeof buf)) > 0) m_text.append(buf, static_cast<size_t>(n));
    }
    if (m_file >= 0) {
        close(m_file);
        m_file = -1;
    }
    return m_text;
}

}  // namespace wmvtest
