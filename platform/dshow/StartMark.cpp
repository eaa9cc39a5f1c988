#include "platform/dshow/StartMark.h"

#include <windows.h>

namespace dshow {

void SendStartMark(const std::string& stage) {
    OutputDebugStringA((kStartMarkPrefix + stage + "\n").c_str());
}

}  // namespace dshow
