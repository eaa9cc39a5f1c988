// A Windows help file (.hlp) made from topics of plain text, for the help
// viewer of the platform: no help compiler exists on this one. What is
// written is the smallest set of internal files the viewer reads: the
// system record, the fonts, the topic text, the context table that finds
// a topic by its name, and the topic titles. Nothing is compressed.
// Plain C++: the build runs it on the build machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace helpfile {

// One piece of a paragraph: plain text, or a jump to another topic.
struct Span {
    std::string text;
    std::string jumpTo;  // a topic's context name; empty for plain text
};

struct Topic {
    std::string context;  // the name programs open the topic by ("Welcome")
    std::string title;
    std::vector<std::vector<Span>> paragraphs;
};

// The topics from the help source text:
//   @topic Context | Title     starts a topic
//   text lines                 a paragraph; a blank line ends it
//   [[shown text|Context]]     a jump to the topic Context
//   ; at the start of a line   a comment
// Throws std::runtime_error with the line number on malformed input.
std::vector<Topic> ParseSource(const std::string& text);

// The help file of the topics; the first topic is the contents topic.
// Throws std::runtime_error when a jump names no topic, a context name is
// used twice or a paragraph is too long for one topic block.
std::string Build(const std::string& title, const std::vector<Topic>& topics);

// The viewer's hash of a context name, by which |CONTEXT finds topics.
int32_t ContextHash(const std::string& context);

}  // namespace helpfile
