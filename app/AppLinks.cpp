#include "app/AppLinks.h"

namespace app {

String ProgramFolder;
const char16_t* const kProductWebAddress = u"http://www.corvane-video.example";
OptionWindowLinks OptionLinks;

}  // namespace app
