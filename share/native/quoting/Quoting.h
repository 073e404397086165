// One quoting function per syntax the tools write: whatever reaches a
// generated file or a command line passes through the function of that
// file's syntax, whether it came from an option, a file name or a file's
// contents. A value a syntax cannot carry is refused (PackError naming
// `what`, the value's field and where it came from), never dropped or
// rewritten.
#ifndef QUOTING_H
#define QUOTING_H

#include <string>

// A word for the POSIX shell: in single quotes, a quote as '\''.
std::string shellWord(const std::string& value);

// Text of one line of rpmbuild's recipe, where '%' starts a macro (and
// "%(...)" runs a command): every '%' doubled. A line break, which could
// start a section that runs commands, is refused.
std::string rpmMacroText(const std::string& value, const std::string& what);

// A path the recipe names in its file list. rpmbuild expands such a path
// more than once and reads glob patterns in it, so only characters that
// mean nothing to either pass: letters, digits and "/._+-".
std::string rpmFilePath(const std::string& path, const std::string& what);

// A value of a dnf/yum .repo file (an INI line): no line break, no control
// character, and no '$', which dnf expands as a variable.
std::string yumRepoValue(const std::string& value, const std::string& what);

// A one-line field of a Debian control file: no line break, no control
// character, not empty, no white space at either end.
std::string controlFieldValue(const std::string& value, const std::string& what);

// A control file's multi-line field continuation: each line starts with a
// space, an empty line is " .". Control characters other than line breaks
// are refused.
std::string controlContinuation(const std::string& text, const std::string& what);

// A string value of a desktop entry: its escapes \s \n \t \r \\. Other
// control characters, which the format cannot hold, are refused.
std::string desktopEntryString(const std::string& value, const std::string& what);

// One item of a desktop entry's list value (Categories, MimeType): as a
// string, with ';' escaped as "\;".
std::string desktopEntryListItem(const std::string& value, const std::string& what);

// Text or an attribute value in double quotes of an XML document: &, <, >,
// " and ' as references. XML cannot hold control characters but tab and
// line breaks: those are refused.
std::string xmlText(const std::string& value, const std::string& what);

// Text of a roff manual page, also inside a quoted argument: no request at
// a line's start, backslashes, hyphens and quotes kept as they are.
std::string roffText(const std::string& value);

// A regular expression that matches exactly `value`.
std::string regexLiteral(const std::string& value);

// A TOML basic string, in double quotes: '"' and '\' escaped, control
// characters as \uXXXX. Any text fits.
std::string tomlString(const std::string& value);

// A value as messages show it: in double quotes, control characters and
// bytes that are not UTF-8 as \xNN, so a message cannot forge lines.
std::string shownValue(const std::string& value);

#endif // QUOTING_H
