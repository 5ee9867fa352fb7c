#include "cli/command_template.h"

#include <unistd.h>

#include <optional>
#include <stdexcept>

#include "foundation/text.h"

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
  std::string stem = values ? FileStem(values->project) : std::string();
  auto value = [&](const std::string& name) -> std::optional<std::string> {
    for (size_t k = 0; k < std::size(kNames); ++k) {
      if (name != kNames[k]) continue;
      if (!values) return std::string();
      const std::string* fields[] = {
          &values->host, &values->project, &values->func, &values->folder, &values->caption, &stem, &stem};
      return *fields[k];
    }
    return std::nullopt;
  };
  BracesFilled filled = FillBraces(word, value);
  switch (filled.problem) {
    case BraceProblem::None: break;
    case BraceProblem::LoneClose:
      throw std::invalid_argument("a '}' without its '{' in \"" + word + "\" (write }} for a brace)");
    case BraceProblem::Unclosed:
      throw std::invalid_argument("a placeholder is not closed in \"" + word + "\" (write {{ for a brace)");
    case BraceProblem::Unknown:
      throw std::invalid_argument(
          "unknown placeholder {" + filled.name +
          "}; known are {host} {project} {func} {folder} {caption} {stem} {project_stem}");
  }
  return filled.text;
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
