// An external signing command given as one text with placeholders, split
// into words as a shell would split plain words and double-quoted ones,
// but never run by a shell: a file name cannot become part of a command.
#ifndef COMMANDTEMPLATE_H
#define COMMANDTEMPLATE_H

#include <map>
#include <string>
#include <vector>

// The words of `text`, each {name} replaced with its value from `values`
// (inside a word too). Throws PackError for an unknown placeholder, an
// unclosed quote, an empty command, or one without {file}.
std::vector<std::string> expandCommand(const std::string& text,
                                       const std::map<std::string, std::string>& values);

#endif // COMMANDTEMPLATE_H
