#include "tests/program_support.h"

#include <fcntl.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#include <libxml/xpath.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace corvala4::testing {

std::string ProgramPath() { return CORVALA4_PROGRAM; }
std::string SampleHostPath() { return CORVALA4_SAMPLE_HOST; }
std::string SampleDataPath() { return CORVALA4_SAMPLE_DATA; }
std::string TestDataPath() { return CORVALA4_TEST_DATA; }

ProgramRun RunProgram(const std::vector<std::string>& args, const TempDir& dir,
                      const std::function<void(int pid)>& during) {
  std::string out = dir / "program.out", err = dir / "program.err";
  std::vector<std::string> all = {ProgramPath()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> env_text;
  for (char** e = environ; *e; ++e) {
    std::string v = *e;
    if (v.rfind("XDG_CONFIG_HOME=", 0) == 0 || v.rfind("XDG_STATE_HOME=", 0) == 0 ||
        v.rfind("CORVALA4_", 0) == 0)
      continue;
    env_text.push_back(v);
  }
  env_text.push_back("XDG_CONFIG_HOME=" + (dir / "config"));
  env_text.push_back("XDG_STATE_HOME=" + (dir / "state"));
  env_text.push_back("CORVALA4_REGISTRY_DIR=" + (dir / "registry"));
  std::vector<char*> envp;
  for (std::string& v : env_text) envp.push_back(v.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  ProgramRun run;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    run.err = "could not start " + ProgramPath();
    return run;
  }
  posix_spawn_file_actions_destroy(&actions);
  if (during) during(pid);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  run.out = ReadFile(out);
  run.err = ReadFile(err);
  return run;
}

ScriptHost::ScriptHost(const TempDir& dir, const std::string& name) : name_(name) {
  folder = dir / "host";
  host = folder + "/" + name;
  WriteFile(host,
            "#!/bin/sh\n# $1: the project file, a shell snippet; $2: the function code\n"
            "cd \"$(dirname \"$1\")\" || exit 97\n. \"./$(basename \"$1\")\"\n");
  chmod(host.c_str(), 0755);
  definition_ = "TestData;standard results\n";
}

void ScriptHost::AddCase(const std::string& caseName, const std::string& script, bool mandatory,
                         const std::string& standard) {
  WriteFile(Standard(caseName) + "/p.prj", script);
  WriteFile(Standard(caseName) + "/r.out", standard);
  definition_ += caseName + "," + caseName + ",p.prj," + (mandatory ? "y" : "n") + ",1,r.out;\n";
  cases_.push_back(caseName);
}

void ScriptHost::Write() {
  std::string upper;
  for (char c : name_) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  WriteFile(folder + "/" + upper + "_TEST_DAT.TXT", definition_);
}

std::string ScriptHost::Standard(const std::string& caseName) const {
  return folder + "/TestData/" + caseName;
}
std::string ScriptHost::Work(const std::string& caseName) const {
  return folder + "/TestData_make/" + caseName;
}

bool ScriptHost::Marker(const std::string& caseName) const {
  return Exists(Standard(caseName) + "/" + name_ + "_p_1_Passed.txt");
}

std::string ScriptHost::Record() const { return ReadFile(folder + "/" + name_ + "_Test_Ver.txt"); }

std::string ScriptHost::Markers() const {
  std::string text;
  for (const std::string& c : cases_) text += c + "=" + (Marker(c) ? "1" : "0") + " ";
  return text;
}

XmlDocument::XmlDocument(const std::string& path, bool html) {
  std::string bytes = ReadFile(path);
  if (bytes.empty()) return;
  doc_ = html ? htmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, "UTF-8",
                               HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING)
              : xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
}

XmlDocument::~XmlDocument() {
  if (doc_) xmlFreeDoc(static_cast<xmlDoc*>(doc_));
}

std::vector<std::string> XmlDocument::Values(const std::string& xpath) const {
  std::vector<std::string> values;
  if (!doc_) return values;
  xmlXPathContext* ctx = xmlXPathNewContext(static_cast<xmlDoc*>(doc_));
  xmlXPathObject* obj = xmlXPathEvalExpression(BAD_CAST xpath.c_str(), ctx);
  if (obj && obj->nodesetval) {
    for (int i = 0; i < obj->nodesetval->nodeNr; ++i) {
      xmlChar* text = xmlNodeGetContent(obj->nodesetval->nodeTab[i]);
      values.push_back(text ? reinterpret_cast<const char*>(text) : "");
      xmlFree(text);
    }
  }
  if (obj) xmlXPathFreeObject(obj);
  xmlXPathFreeContext(ctx);
  return values;
}

namespace {

void CollectProblem(void* ctx, const xmlError* error) {
  if (error && error->message) *static_cast<std::string*>(ctx) += error->message;
}

}  // namespace

std::string XmlDocument::Validate(const std::string& schemaPath) const {
  if (!doc_) return "not a document";
  std::string problems;
  xmlSchemaParserCtxt* parser = xmlSchemaNewParserCtxt(schemaPath.c_str());
  xmlSchema* schema = parser ? xmlSchemaParse(parser) : nullptr;
  if (!schema) {
    problems = "the schema " + schemaPath + " cannot be read";
  } else {
    xmlSchemaValidCtxt* valid = xmlSchemaNewValidCtxt(schema);
    xmlSchemaSetValidStructuredErrors(valid, reinterpret_cast<xmlStructuredErrorFunc>(CollectProblem),
                                      &problems);
    if (xmlSchemaValidateDoc(valid, static_cast<xmlDoc*>(doc_)) != 0 && problems.empty())
      problems = "invalid";
    xmlSchemaFreeValidCtxt(valid);
    xmlSchemaFree(schema);
  }
  if (parser) xmlSchemaFreeParserCtxt(parser);
  return problems;
}

std::string XmlDocument::Value(const std::string& xpath) const {
  std::vector<std::string> values = Values(xpath);
  return values.empty() ? "<none>" : values.front();
}

}  // namespace corvala4::testing
