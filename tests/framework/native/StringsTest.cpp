// String lists and the number and text helpers: the parts the windows and
// the ini files lean on.
#include <gtest/gtest.h>

#include "framework/forms/Strings.h"

using forms::String;
using forms::TStringList;

TEST(StringList, TextSplitsAtEveryLineEnding) {
    TStringList list;
    list.SetText(u"one\r\ntwo\nthree\rfour");
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list[3], u"four");
    EXPECT_EQ(list.Text(), u"one\r\ntwo\r\nthree\r\nfour\r\n");
    list.SetText(u"a\r\n\r\n");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list[1], u"");
    EXPECT_THROW(list.Get(2), forms::EListError);
    EXPECT_THROW(list.Delete(-1), forms::EListError);
}

TEST(StringList, SortedListsFindAndTreatDuplicatesAsTold) {
    TStringList list;
    list.SetSorted(true);
    list.Add(u"macos");
    list.Add(u"Aqua");
    list.Add(u"blue");
    EXPECT_EQ(list.Text(), u"Aqua\r\nblue\r\nmacos\r\n");
    EXPECT_EQ(list.Add(u"BLUE"), 1);  // ignored duplicate, case-insensitive
    EXPECT_EQ(list.Count(), 3);
    list.SetDuplicates(forms::TDuplicates::dupError);
    EXPECT_THROW(list.Add(u"aqua"), forms::EListError);
    EXPECT_EQ(list.IndexOf(u"MACOS"), 2);
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf(u"MACOS"), -1);
    EXPECT_THROW(list.Insert(0, u"x"), forms::EListError);
}

TEST(StringList, NamesValuesAndChangeEvents) {
    TStringList list;
    int changes = 0;
    list.OnChange = [&](forms::TObject*) { ++changes; };
    list.Add(u"TTBDock=Panel");
    list.Add(u"TRzButton=button");
    EXPECT_EQ(changes, 2);
    list.BeginUpdate();
    list.SetValue(u"trzbutton", u"Button");
    list.SetValue(u"New", u"Edit");
    list.EndUpdate();
    EXPECT_EQ(changes, 3);  // one for the whole update
    EXPECT_EQ(list.Values(u"TRZBUTTON"), u"Button");
    EXPECT_EQ(list.Names(2), u"New");
    list.SetValue(u"TTBDock", u"");
    EXPECT_EQ(list.IndexOfName(u"TTBDock"), -1);
}

TEST(StringList, ObjectsTravelWithTheirLines) {
    TStringList list;
    int a = 1, b = 2;
    list.AddObject(u"b", &b);
    list.AddObject(u"a", &a);
    list.Sort();
    EXPECT_EQ(list.GetObject(0), &a);
    list.Exchange(0, 1);
    EXPECT_EQ(list.IndexOfObject(&a), 1);
    TStringList copy;
    copy.Assign(list);
    EXPECT_TRUE(copy.Equals(list));
    EXPECT_EQ(copy.GetObject(1), &a);
}

TEST(StringList, StreamsAsUtf8) {
    TStringList list;
    list.Add(u"Vid\u00E9os");
    forms::TMemoryStream stream;
    list.SaveToStream(stream);
    EXPECT_EQ(stream.Size(), 9);  // é takes two bytes, CR LF ends the line
    stream.SetPosition(0);
    TStringList back;
    back.LoadFromStream(stream);
    EXPECT_EQ(back[0], u"Vid\u00E9os");
}

TEST(SysUtils, IntegerTextRules) {
    int v = 0;
    EXPECT_TRUE(forms::TryStrToInt(u" 42", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(forms::TryStrToInt(u"-2147483648", v));
    EXPECT_EQ(v, -2147483648);
    EXPECT_FALSE(forms::TryStrToInt(u"2147483648", v));
    EXPECT_TRUE(forms::TryStrToInt(u"$FFFFFFFF", v));
    EXPECT_EQ(v, -1);
    EXPECT_FALSE(forms::TryStrToInt(u"12a", v));
    EXPECT_FALSE(forms::TryStrToInt(u"", v));
    EXPECT_FALSE(forms::TryStrToInt(u"-", v));
    EXPECT_FALSE(forms::TryStrToInt(u"1.5", v));
    EXPECT_THROW(forms::StrToInt(u"Source"), forms::EConvertError);
    EXPECT_EQ(forms::IntToStr(-90), u"-90");
}

TEST(SysUtils, PathParts) {
    EXPECT_EQ(forms::ExtractFileName(u"C:\\Skins\\a.b.skn"), u"a.b.skn");
    EXPECT_EQ(forms::ExtractFilePath(u"C:\\Skins\\a.b.skn"), u"C:\\Skins\\");
    EXPECT_EQ(forms::ExtractFileExt(u"C:\\Skins\\a.b.skn"), u".skn");
    EXPECT_EQ(forms::ExtractFileExt(u"C:\\dir.x\\file"), u"");
    EXPECT_EQ(forms::IncludeTrailingBackslash(u"C:\\out"), u"C:\\out\\");
    EXPECT_EQ(forms::ExcludeTrailingBackslash(u"C:\\out\\"), u"C:\\out");
    EXPECT_EQ(forms::Trim(u" \t x \r\n"), u"x");
}

TEST(SysUtils, DateAndTimePatterns) {
    forms::TFormatSettings fs;
    fs.DateSeparator = u'.';
    fs.TimeSeparator = u':';
    fs.TimeAMString = u"vorm.";
    fs.TimePMString = u"nachm.";
    const forms::TDateTimeParts morning{2005, 3, 7, 9, 5, 4};
    const forms::TDateTimeParts evening{1999, 12, 31, 23, 59, 0};
    const forms::TDateTimeParts midnight{2010, 1, 2, 0, 30, 9};
    EXPECT_EQ(forms::FormatDateTime(u"MM/dd/yyyy hh:mm:ss", morning, fs), u"03.07.2005 09:05:04");
    EXPECT_EQ(forms::FormatDateTime(u"d/M/yy h:m:s", morning, fs), u"7.3.05 9:5:4");
    // m is the month unless an hour comes right before it.
    EXPECT_EQ(forms::FormatDateTime(u"yyyy-mm-dd hh:mm", evening, fs), u"1999-12-31 23:59");
    // A marker makes the clock 12-hour; midnight is 12.
    EXPECT_EQ(forms::FormatDateTime(u"h:mm AM/PM", evening, fs), u"11:59 PM");
    EXPECT_EQ(forms::FormatDateTime(u"hh:mm am/pm", midnight, fs), u"12:30 am");
    EXPECT_EQ(forms::FormatDateTime(u"h:mm:ss AMPM", morning, fs), u"9:05:04 vorm.");
    // Quoted text and other characters are copied.
    EXPECT_EQ(forms::FormatDateTime(u"'day' d, \"at\" h", morning, fs), u"day 7, at 9");
    EXPECT_EQ(forms::FormatDateTime(u"yy-MM-dd", forms::TDateTimeParts{2009, 11, 1}, fs), u"09-11-01");
}

TEST(SysUtils, FloatTextRoundTrips) {
    forms::TFormatSettings comma;
    comma.DecimalSeparator = u',';
    EXPECT_EQ(forms::FloatToStr(0.0), u"0");
    EXPECT_EQ(forms::FloatToStr(1.5), u"1.5");
    EXPECT_EQ(forms::FloatToStr(-250.0), u"-250");
    EXPECT_EQ(forms::FloatToStr(1.5, comma), u"1,5");
    // A file time needs more than 15 digits: scientific.
    EXPECT_EQ(forms::FloatToStr(133456789012345678.0), u"1.33456789012346E17");
    EXPECT_EQ(forms::FloatToStr(0.00001), u"1E-5");
    double v = 0;
    EXPECT_TRUE(forms::TryStrToFloat(u" 1.33456789012346E17 ", v));
    EXPECT_EQ(v, 1.33456789012346E17);
    EXPECT_TRUE(forms::TryStrToFloat(u"1,5", v, comma));
    EXPECT_EQ(v, 1.5);
    EXPECT_TRUE(forms::TryStrToFloat(u"-2", v));
    EXPECT_EQ(v, -2.0);
    for (const char16_t* bad : {u"", u"abc", u"1.5x", u"1..5", u"\u00E91"}) EXPECT_FALSE(forms::TryStrToFloat(bad, v));
    EXPECT_EQ(forms::StrToFloatDef(u"nope", 7.0), 7.0);
    // What FloatToStr writes reads back as the same number.
    for (double d : {123456789012345.0, 0.1, 2.5e-8, 1.0e300})
        EXPECT_EQ(forms::StrToFloatDef(forms::FloatToStr(d), -1), d) << d;
}
