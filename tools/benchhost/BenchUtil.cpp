#include "tools/benchhost/BenchUtil.h"

#include <windows.h>

#include "framework/com/WinText.h"

namespace bench {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::string UnixPath(const std::u16string& dosPath) {
    char* unix = wine_get_unix_file_name(com::W(dosPath));
    std::string out = unix ? unix : "";
    if (unix) HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

std::u16string DosPath(const std::string& unixPath) {
    WCHAR* dos = wine_get_dos_file_name(unixPath.c_str());
    std::u16string out = dos ? com::U16(dos) : std::u16string();
    if (dos) HeapFree(GetProcessHeap(), 0, dos);
    return out;
}

}  // namespace bench
