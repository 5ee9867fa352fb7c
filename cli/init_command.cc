#include "cli/init_command.h"

#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "cli/command_error.h"
#include "foundation/platform/atomic_file.h"
#include "foundation/platform/code_page.h"
#include "foundation/platform/replacement_journal.h"
#include "foundation/platform/run_lock.h"
#include "foundation/text.h"

namespace corvala4::cli {

namespace fs = std::filesystem;

namespace {

struct NewCase {
  std::string folder;
  std::string project;
  std::vector<std::string> outputs;
  bool mandatory = true;
};

bool Matches(const std::vector<std::string>& globs, const std::string& path) {
  return std::any_of(globs.begin(), globs.end(), [&](const std::string& g) {
    return fnmatch(g.c_str(), path.c_str(), FNM_PATHNAME) == 0;
  });
}

/// Every regular file below the folder, as paths relative to it, sorted.
std::vector<std::string> FilesBelow(const fs::path& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec)) files.push_back(fs::relative(it->path(), folder, ec).generic_string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

/// A name the TXT form reads back as written: no "/", ",", ";", no line break, no edge spaces.
bool FitsTxt(const std::string& text) {
  return !text.empty() && text.find_first_of("/,;\r\n\t") == std::string::npos && text.front() != ' ' &&
         text.back() != ' ';
}

/// The TXT form takes "\" for "/" in its paths.
std::string Backslashed(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

}  // namespace

std::string DefinitionPathBeside(const std::string& host, bool txt) {
  fs::path path(host);
  return (path.parent_path() / (UpperText(path.stem().string()) + (txt ? "_TEST_DAT.TXT" : "_TEST_DAT.XML")))
      .string();
}

int InitCommand(const InitOptions& o, std::FILE* out, std::FILE* err) {
  std::error_code ec;
  fs::path host = fs::absolute(o.host).lexically_normal();
  if (!fs::is_regular_file(host, ec))
    throw CommandError(2, "the host executable '" + o.host + "' is not there (or is not a file)");
  fs::path standard = fs::absolute(o.standard).lexically_normal();
  if (!fs::is_directory(standard, ec))
    throw CommandError(2, "--standard: '" + o.standard + "' is not a folder");
  std::string definition = o.definition.empty() ? DefinitionPathBeside(host.string(), o.txt)
                                                : fs::absolute(o.definition).string();
  if (fs::exists(fs::symlink_status(definition, ec)) && !o.force)
    throw CommandError(1, "the definition file '" + definition + "' exists; --force overwrites it");
  // Beside a definition file of the other form, the XML one would be read and this one not.
  if (o.definition.empty()) {
    std::string other = DefinitionPathBeside(host.string(), !o.txt);
    if (fs::exists(other, ec) && !o.force)
      throw CommandError(1, "the definition file '" + other + "' exists and would be read " +
                                (o.txt ? "instead of" : "as well as") + " this one; --force writes anyway");
  }

  std::vector<fs::path> folders;
  for (fs::directory_iterator it(standard, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_directory(ec) && !it->is_symlink(ec)) folders.push_back(it->path());
  if (ec) throw CommandError(2, "cannot read the folder '" + standard.string() + "': " + ec.message());
  std::sort(folders.begin(), folders.end());

  int reported = 0;
  auto report = [&](const std::string& folder, const std::string& why) {
    std::fprintf(err, "corvala4: %s: %s; left out\n", folder.c_str(), why.c_str());
    ++reported;
  };
  std::vector<NewCase> cases;
  for (const fs::path& folder : folders) {
    NewCase c;
    c.folder = folder.filename().string();
    if (o.txt && !FitsTxt(c.folder)) {
      report(c.folder,
             "the TXT form cannot hold this folder name (it has / , ; or a line break); the XML form can");
      continue;
    }
    std::vector<std::string> files = FilesBelow(folder);
    // This host's pass markers are the module's, not the case's.
    std::string marker = host.stem().string() + "_*_Passed.txt";
    std::erase_if(
        files, [&](const std::string& f) { return fnmatch(marker.c_str(), f.c_str(), FNM_PATHNAME) == 0; });
    // Nor are an unfinished approval's temporaries.
    std::erase_if(files,
                  [](const std::string& f) { return IsOwnTemporary(fs::path(f).filename().string()); });
    std::vector<std::string> projects;
    for (const std::string& f : files) {
      if (f.find('/') != std::string::npos) continue;
      bool output = Matches(o.outputs, f);
      if (o.project.empty() ? !output && f.rfind('.', 0) != 0
                            : fnmatch(o.project.c_str(), f.c_str(), FNM_PATHNAME) == 0)
        projects.push_back(f);
      if (output) c.outputs.push_back(f);
    }
    for (const std::string& f : files)
      if (f.find('/') != std::string::npos && Matches(o.outputs, f)) c.outputs.push_back(f);
    std::string glob = o.project.empty() ? "(the files that are not outputs)" : "'" + o.project + "'";
    if (projects.empty()) {
      report(c.folder, "no project file: no file matches " + glob);
      continue;
    }
    if (projects.size() > 1) {
      report(c.folder, "several files match " + glob + ": " + Joined(projects) + "; --project names which");
      continue;
    }
    c.project = projects.front();
    std::erase(c.outputs, c.project);
    if (o.txt &&
        (!FitsTxt(c.project) || std::any_of(c.outputs.begin(), c.outputs.end(),
                                            [](const std::string& f) { return !FitsTxt(Backslashed(f)); }))) {
      report(c.folder,
             "the TXT form cannot hold a file name of it (with , ; or a line break); the XML form can");
      continue;
    }
    c.mandatory = o.mandatory.empty() || Matches(o.mandatory, c.folder);
    cases.push_back(c);
  }
  if (cases.empty())
    throw CommandError(2, "no case to write: '" + standard.string() +
                              "' has no sub-folder that can be a case; nothing written");

  // The standard directory as the host's folder reaches it, where it lies below it.
  fs::path host_folder = host.parent_path();
  fs::path rel = standard.lexically_relative(host_folder);
  std::string named = !rel.empty() && *rel.begin() != ".." ? rel.generic_string() : standard.generic_string();

  std::string text;
  if (o.txt) {
    text = Backslashed(named) + ";standard results\n";
    text += "// caption,folder,project,mandatory,function code,outputs (an output in <> is kept)\n";
    for (const NewCase& c : cases) {
      std::vector<std::string> outs;
      for (const std::string& f : c.outputs) outs.push_back(Backslashed(f));
      text += c.folder + "," + c.folder + "," + c.project + "," + (c.mandatory ? "y" : "n") + ",0," +
              (outs.empty() ? "" : Joined(outs)) + ";\n";
    }
    text = ToCodePage(text);
  } else {
    // Every attribute in double quotes: an apostrophe stays as it is.
    auto E = [](const std::string& t) { return MarkupEscaped(t, false); };
    text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<自测试配置>\n  <自测试标准目录>" + E(named) +
           "</自测试标准目录>\n";
    for (const NewCase& c : cases) {
      text += "  <自测试算例 名称=\"" + E(c.folder) + "\" 目录=\"" + E(c.folder) + "\" 工程文件=\"" +
              E(c.project) + "\" 必测=\"" + (c.mandatory ? "y" : "n") + "\" 功能代号=\"0\">\n";
      for (const std::string& f : c.outputs) text += "    <输出文件 保留=\"n\">" + E(f) + "</输出文件>\n";
      text += "  </自测试算例>\n";
    }
    text += "</自测试配置>\n";
  }
  // Not under a run or an approval of the same test data, which read the definition it replaces.
  RunLock lock;
  std::string why;
  auto tell = [err](const std::string& line) { std::fprintf(err, "corvala4: %s\n", line.c_str()); };
  lock.Acquire(standard.string(), host.string(), true, tell, why);
  if (!why.empty()) tell(why);
  if (int e = ReplaceFileAtomically(definition, text, 0644))
    throw CommandError(2, "cannot write '" + definition + "': " + std::strerror(e));

  size_t mandatory = std::count_if(cases.begin(), cases.end(), [](const NewCase& c) { return c.mandatory; });
  std::fprintf(out, "wrote %s: %zu %s (%zu mandatory), standard directory %s\n", definition.c_str(),
               cases.size(), cases.size() == 1 ? "case" : "cases", mandatory, named.c_str());
  for (const NewCase& c : cases) {
    std::fprintf(out, "  %s%s: project %s, outputs %s\n", c.folder.c_str(), c.mandatory ? " (mandatory)" : "",
                 c.project.c_str(), c.outputs.empty() ? "none" : Joined(c.outputs).c_str());
    if (c.outputs.empty())
      std::fprintf(err,
                   "corvala4: warning: %s declares no output: it passes whenever its calculation succeeds\n",
                   c.folder.c_str());
  }
  return reported ? 1 : 0;
}

Command SetUpInitCommand(CLI::App& app) {
  auto o = std::make_shared<InitOptions>();
  CLI::App* sub = app.add_subcommand(
      "init",
      "writes a definition file for a folder of cases: one case per sub-folder of the standard "
      "directory");
  sub->add_option("HOST", o->host, "the host executable; the definition file is written beside it")
      ->type_name("HOST")
      ->required();
  sub->add_option("--standard", o->standard,
                  "the standard directory: one sub-folder per case, with "
                  "its project file and standard outputs")
      ->type_name("DIR")
      ->required();
  sub->add_option("--project", o->project,
                  "the project file of a case: the one file in its folder that matches GLOB (default: "
                  "the one file that is not an output)")
      ->type_name("GLOB");
  sub->add_option("--outputs", o->outputs,
                  "the outputs of a case: the files of its folder that match a GLOB (a GLOB with / "
                  "matches paths below the folder); may be repeated")
      ->type_name("GLOB")
      ->expected(1, -1);
  sub->add_option("--mandatory", o->mandatory,
                  "only the cases whose folder matches a GLOB are mandatory (default: every case)")
      ->type_name("GLOB")
      ->expected(1, -1);
  sub->add_flag("--txt", o->txt, "write the TXT form (default: the XML form)");
  sub->add_option("--definition", o->definition, "write the definition to FILE instead")->type_name("FILE");
  sub->add_flag("--force", o->force, "overwrite a definition file that exists");
  sub->footer(
      Footer("0 written, 1 refused (the definition file exists, or a case folder was reported "
             "and skipped),"));
  return {sub, [o] { return InitCommand(*o, stdout, stderr); }};
}

}  // namespace corvala4::cli
