#include "cli/command_template.h"

#include <unistd.h>

#include <stdexcept>

namespace corvala4::cli {

namespace {

const char* const kNames[] = {"host", "project", "func", "folder", "caption", "stem", "project_stem"};

std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
      continue;
    }
    in_word = true;
    if (c == '\\') {
      if (++i == text.size()) throw std::invalid_argument("the command ends with a backslash");
      word += text[i];
    } else if (c == '\'') {
      size_t close = text.find('\'', i + 1);
      if (close == std::string::npos) throw std::invalid_argument("a single quote is not closed");
      word += text.substr(i + 1, close - i - 1);
      i = close;
    } else if (c == '"') {
      for (++i;; ++i) {
        if (i == text.size()) throw std::invalid_argument("a double quote is not closed");
        if (text[i] == '"') break;
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) ++i;
        word += text[i];
      }
    } else {
      word += c;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

/// Fills one word; with values absent it only checks the placeholders.
std::string Fill(const std::string& word, const CaseValues* values) {
  std::string out;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if ((c == '{' || c == '}') && i + 1 < word.size() && word[i + 1] == c) {
      out += c;
      ++i;
      continue;
    }
    if (c == '}')
      throw std::invalid_argument("a '}' without its '{' in \"" + word + "\" (write }} for a brace)");
    if (c != '{') {
      out += c;
      continue;
    }
    size_t close = word.find('}', i);
    if (close == std::string::npos)
      throw std::invalid_argument("a placeholder is not closed in \"" + word + "\" (write {{ for a brace)");
    std::string name = word.substr(i + 1, close - i - 1);
    const std::string* value = nullptr;
    std::string stem;
    if (values) {
      stem = FileStem(values->project);
      const std::string* fields[] = {
          &values->host, &values->project, &values->func, &values->folder, &values->caption, &stem, &stem};
      for (size_t k = 0; k < std::size(kNames); ++k)
        if (name == kNames[k]) value = fields[k];
    } else {
      for (const char* known : kNames)
        if (name == known) value = &name;
    }
    if (!value)
      throw std::invalid_argument(
          "unknown placeholder {" + name +
          "}; known are {host} {project} {func} {folder} {caption} {stem} {project_stem}");
    if (values) out += *value;
    i = close;
  }
  return out;
}

}  // namespace

std::string FileStem(const std::string& path) {
  std::string name = path.substr(path.rfind('/') + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

CommandTemplate::CommandTemplate(const std::string& text) : words_(SplitWords(text)) {
  if (words_.empty()) throw std::invalid_argument("the command is empty");
  for (const std::string& word : words_) Fill(word, nullptr);
}

std::vector<std::string> CommandTemplate::Expand(const CaseValues& values) const {
  std::vector<std::string> argv;
  for (const std::string& word : words_) argv.push_back(Fill(word, &values));
  std::string& program = argv[0];
  if (!program.empty() && program[0] != '/' && program.find('/') != std::string::npos) {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) program = std::string(cwd) + "/" + program;
  }
  return argv;
}

}  // namespace corvala4::cli
