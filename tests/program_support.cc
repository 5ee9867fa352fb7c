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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace corvala4::testing {

std::string ProgramPath() { return CORVALA4_PROGRAM; }
std::string SampleHostPath() { return CORVALA4_SAMPLE_HOST; }
std::string SampleDataPath() { return CORVALA4_SAMPLE_DATA; }
std::string TestDataPath() { return CORVALA4_TEST_DATA; }

ProgramRun RunProgram(const std::vector<std::string>& args, const TempDir& dir,
                      const std::function<void(int pid)>& during, const std::vector<std::string>& env,
                      const std::vector<std::string>& prefix) {
  std::string out = dir / "program.out", err = dir / "program.err";
  std::vector<std::string> all = prefix;
  all.push_back(ProgramPath());
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> env_text;
  for (char** e = environ; *e; ++e) {
    std::string v = *e;
    if (v.rfind("XDG_CONFIG_HOME=", 0) == 0 || v.rfind("XDG_STATE_HOME=", 0) == 0 ||
        v.rfind("CORVALA4_", 0) == 0 || v.rfind("CI=", 0) == 0)
      continue;
    env_text.push_back(v);
  }
  env_text.push_back("XDG_CONFIG_HOME=" + (dir / "config"));
  env_text.push_back("XDG_STATE_HOME=" + (dir / "state"));
  env_text.push_back("CORVALA4_REGISTRY_DIR=" + (dir / "registry"));
  for (const std::string& v : env) {
    std::string name = v.substr(0, v.find('=') + 1);
    std::erase_if(env_text, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
    env_text.push_back(v);
  }
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
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
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

bool Alive(const std::string& pidFile) {
  int pid = std::atoi(ReadFile(pidFile).c_str());
  if (pid <= 0) return false;
  for (int i = 0; i < 40; ++i) {
    std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    if (close == std::string::npos || stat.compare(close + 2, 1, "Z") == 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

std::vector<std::string> JUnitOutcomes(const std::string& report) {
  XmlDocument doc(report);
  std::string dir = report.substr(0, report.rfind('/'));
  std::vector<std::string> out;
  for (const std::string& name : doc.Values("//testcase/@name")) {
    std::string at = "//testcase[@name='" + name + "']";
    std::string kind = doc.Count(at + "/failure")   ? "failure"
                       : doc.Count(at + "/error")   ? "error"
                       : doc.Count(at + "/skipped") ? "skipped"
                                                    : "passed";
    std::string message = kind == "passed" ? "" : doc.Value(at + "/" + kind + "/@message");
    for (size_t p; (p = message.find(dir)) != std::string::npos;) message.replace(p, dir.size(), "DIR");
    out.push_back(name + ":" + kind + ":" + message);
  }
  return out;
}

Captured Capture(const std::string& command) {
  Captured c;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return c;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) c.out.append(buf, n);
  int status = pclose(pipe);
  c.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return c;
}

std::string SlurmMissing() {
  // Node states in which a node takes jobs now or soon.
  static const char* const kTaking[] = {"idle", "mix", "alloc", "comp", "plnd"};
  Captured nodes = Capture("sinfo -h -o %t 2>&1");
  std::string why;
  if (nodes.status != 0)
    why = "sinfo fails: " + nodes.out;
  else if (std::none_of(std::begin(kTaking), std::end(kTaking),
                        [&](const char* state) { return nodes.out.find(state) != std::string::npos; }))
    why = "no node takes jobs (node states: " + nodes.out + ")";
  if (why.empty()) return why;
  return "no Slurm cluster here: " + why +
         "\nscripts/run-tests.sh --slurm starts a one-node cluster for the tests (scripts/slurm-up.sh); "
         "CORVALA4_REQUIRE_SLURM=1 makes its absence a failure";
}

bool SlurmRequired() {
  const char* v = getenv("CORVALA4_REQUIRE_SLURM");
  return v && *v && std::string(v) != "0";
}

std::vector<std::string> QueuedJobs() {
  std::vector<std::string> ids;
  std::string out = Capture("squeue -h -o %i").out;
  for (size_t pos = 0, end; (end = out.find('\n', pos)) != std::string::npos; pos = end + 1)
    ids.push_back(out.substr(pos, end - pos));
  return ids;
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

void ScriptHost::AddEveryKindOfEnd() {
  AddCase("A", kOk);
  AddCase("B", "echo result > r.out\nexit 1\n");
  AddCase("C", "echo result > r.out\nkill -KILL $$\n");
  AddCase("D", "sleep 300 & echo $! > child.pid\nwait\n");
  AddCase("E", kWrong);
  AddCase("F", kOk, false);
  Write();
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
