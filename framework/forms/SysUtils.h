// Text and number helpers of the forms layer, and its exception classes.
// No platform headers: this builds natively and as winelib code.
//
// Texts are UTF-16 (std::u16string) as the windows use them; exception
// messages are kept as UTF-8 so that what() stays meaningful.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace forms {

using String = std::u16string;

// Base of every exception the layer raises. Handlers at window-procedure
// and callback boundaries catch it and hand it to the application object.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& utf8Message) : std::runtime_error(utf8Message) {}
    explicit Exception(const String& message);
    String Message() const;
};

#define FORMS_EXCEPTION(Name, Base)        \
    class Name : public Base {             \
    public:                                \
        using Base::Base;                  \
    }

FORMS_EXCEPTION(EConvertError, Exception);
FORMS_EXCEPTION(EListError, Exception);
FORMS_EXCEPTION(EInvalidOperation, Exception);
FORMS_EXCEPTION(EStreamError, Exception);
FORMS_EXCEPTION(EReadError, EStreamError);
FORMS_EXCEPTION(EWriteError, EStreamError);
FORMS_EXCEPTION(EFOpenError, EStreamError);
FORMS_EXCEPTION(EFCreateError, EStreamError);
FORMS_EXCEPTION(EIniFileException, Exception);
FORMS_EXCEPTION(EInvalidGraphic, Exception);
FORMS_EXCEPTION(EInvalidGraphicOperation, Exception);
FORMS_EXCEPTION(EOutOfResources, Exception);
FORMS_EXCEPTION(EThread, Exception);
// Ends an operation quietly: callers that expect it swallow it.
FORMS_EXCEPTION(EAbort, Exception);
FORMS_EXCEPTION(EOutOfMemory, Exception);

// Decimal integer text, as the settings file and the windows show numbers.
String IntToStr(long long value);
// Optional blanks and sign, then decimal digits, or hexadecimal after "$"
// or "0x"; the value must fit in 32 bits. Anything else fails.
bool TryStrToInt(std::u16string_view text, int& value);
int StrToIntDef(std::u16string_view text, int fallback);
// Raises EConvertError with the text in the message.
int StrToInt(std::u16string_view text);

// Blanks and control characters (code <= 32) off both ends.
String Trim(std::u16string_view text);
// ASCII case mapping only, as the comparisons of the program need.
String LowerCase(std::u16string_view text);
String UpperCase(std::u16string_view text);
bool SameText(std::u16string_view a, std::u16string_view b);
int CompareText(std::u16string_view a, std::u16string_view b);

String Utf8ToText(std::string_view utf8);
std::string TextToUtf8(std::u16string_view text);

// Date and time texts. A pattern's letters (either case): d and dd the
// day, M and MM the month, yy and yyyy the year, h and hh the hour (24-hour
// unless an AM/PM marker is present), m and mm right after an hour the
// minutes, s and ss the seconds; the marker "AM/PM" prints AM or PM (in the
// marker's case), "AMPM" the locale's texts for them; "/" and ":" print the
// date and time separators; text in quotes and anything else is copied.
struct TDateTimeParts {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

// The texts of the user's locale; the program's application object fills
// them in when it starts (see TApplication::Initialize).
struct TFormatSettings {
    char16_t DateSeparator = u'/';
    char16_t TimeSeparator = u':';
    char16_t DecimalSeparator = u'.';
    String TimeAMString = u"AM";
    String TimePMString = u"PM";
    String ShortTimeFormat = u"hh:mm";
    String LongTimeFormat = u"hh:mm:ss";
};
TFormatSettings& FormatSettings();

String FormatDateTime(std::u16string_view pattern, const TDateTimeParts& time,
                      const TFormatSettings& settings = FormatSettings());

// Up to 15 significant digits; scientific ("1.33456789012346E17") when the
// integer part would need more. The decimal separator is the locale's.
String FloatToStr(double value, const TFormatSettings& settings = FormatSettings());
// Blanks around, then what FloatToStr writes (either "." or the locale's
// separator). Anything else fails.
bool TryStrToFloat(std::u16string_view text, double& value, const TFormatSettings& settings = FormatSettings());
double StrToFloatDef(std::u16string_view text, double fallback);

// Path helpers on Windows paths ("\" and "/" both separate).
String ExtractFileName(std::u16string_view path);
String ExtractFilePath(std::u16string_view path);  // with the trailing separator
String ExtractFileExt(std::u16string_view path);   // with the dot, or empty
String IncludeTrailingBackslash(std::u16string_view path);
String ExcludeTrailingBackslash(std::u16string_view path);

}  // namespace forms
