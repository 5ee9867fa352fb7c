#include "engine/xml_loader.h"

#include <fcntl.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/definition_paths.h"
#include "engine/definition_records.h"
#include "engine/tester_core.h"
#include "foundation/errors.h"
#include "foundation/format_msg.h"
#include "foundation/platform/descriptor.h"
#include "foundation/text.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/output_file.h"
#include "results/output_files.h"

namespace corvala4 {

namespace {

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct ParserFree {
  void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct XPathContextFree {
  void operator()(xmlXPathContext* ctx) const { xmlXPathFreeContext(ctx); }
};
struct XPathObjectFree {
  void operator()(xmlXPathObject* obj) const { xmlXPathFreeObject(obj); }
};
using XPathObject = std::unique_ptr<xmlXPathObject, XPathObjectFree>;

/// What the parser said about a document it could not read, or empty.
struct ParseOutcome {
  std::unique_ptr<xmlDoc, DocFree> doc;
  std::string problem;
};

int ReadFd(void* context, char* buffer, int len) {
  int fd = *static_cast<int*>(context);
  ssize_t n;
  do {
    n = read(fd, buffer, static_cast<size_t>(len));
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<int>(n);
}

/// libxml2's own error output, held for the time of one parse: a module must not write
/// to its host's streams. What the parser said is kept for the loader's message.
class ParserMessages {
 public:
  ParserMessages()
      : generic_(xmlGenericError),
        generic_context_(xmlGenericErrorContext),
        structured_(xmlStructuredError),
        structured_context_(xmlStructuredErrorContext) {
    xmlSetGenericErrorFunc(this, &ParserMessages::OnGeneric);
    xmlSetStructuredErrorFunc(this, &ParserMessages::OnStructured);
  }
  ~ParserMessages() {
    xmlSetGenericErrorFunc(generic_context_, generic_);
    xmlSetStructuredErrorFunc(structured_context_, structured_);
  }
  ParserMessages(const ParserMessages&) = delete;
  ParserMessages& operator=(const ParserMessages&) = delete;

  /// The first thing said, on one line.
  std::string First() const { return first_; }

 private:
  void Keep(std::string message) {
    if (!first_.empty()) return;
    for (char& c : message)
      if (c == '\n' || c == '\r') c = ' ';
    while (!message.empty() && message.back() == ' ') message.pop_back();
    first_ = std::move(message);
  }
  static void OnGeneric(void* self, const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    static_cast<ParserMessages*>(self)->Keep(buffer);
  }
  static void OnStructured(void* self, xmlErrorPtr error) {
    if (error && error->message) static_cast<ParserMessages*>(self)->Keep(error->message);
  }

  xmlGenericErrorFunc generic_;
  void* generic_context_;
  xmlStructuredErrorFunc structured_;
  void* structured_context_;
  std::string first_;
};

/// A definition names folders and files and has no use for entities; a declared one could
/// expand to gigabytes when a node's text is read, so the first declaration stops the parse.
struct EntityRefusal {
  std::string name;
  int line = 0;
};

void RefuseEntity(xmlParserCtxt* ctxt, const xmlChar* name) {
  auto* refusal = static_cast<EntityRefusal*>(ctxt->_private);
  if (refusal->name.empty()) {
    refusal->name = name ? reinterpret_cast<const char*>(name) : "";
    refusal->line = xmlSAX2GetLineNumber(ctxt);
  }
  xmlStopParser(ctxt);
}

void OnEntityDecl(void* ctxt, const xmlChar* name, int, const xmlChar*, const xmlChar*, xmlChar*) {
  RefuseEntity(static_cast<xmlParserCtxt*>(ctxt), name);
}

void OnUnparsedEntityDecl(void* ctxt, const xmlChar* name, const xmlChar*, const xmlChar*, const xmlChar*) {
  RefuseEntity(static_cast<xmlParserCtxt*>(ctxt), name);
}

ParseOutcome Parse(const std::string& path) {
  ParseOutcome out;
  // Read through our own descriptor: libxml2 would take the name for a URI and
  // unescape "%" in it. No network, no external entities; errors stay quiet.
  // Without waiting: a pipe or a device in the definition file's place must not hang the host.
  Fd file = OpenRegularFile(AT_FDCWD, path.c_str());
  int fd = file.get();
  if (fd < 0) {
    out.problem = std::strerror(errno);
    return out;
  }
  ParserMessages messages;
  EntityRefusal refusal;
  std::unique_ptr<xmlParserCtxt, ParserFree> ctxt(xmlNewParserCtxt());
  if (ctxt) {
    ctxt->_private = &refusal;
    ctxt->sax->entityDecl = OnEntityDecl;
    ctxt->sax->unparsedEntityDecl = OnUnparsedEntityDecl;
    out.doc.reset(xmlCtxtReadIO(ctxt.get(), ReadFd, nullptr, &fd, nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!refusal.name.empty()) {
      out.doc.reset();
      out.problem = FormatMsg("文档声明了实体'%0',定义文件不接受实体声明 (第%1行)", refusal.name, refusal.line);
    } else if (!out.doc) {
      const xmlError* e = xmlCtxtGetLastError(ctxt.get());
      std::string message = e && e->message ? e->message : messages.First();
      while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
      if (!message.empty()) out.problem = FormatMsg("%0 (第%1行)", message, e ? e->line : 0);
    }
  }
  return out;
}

XPathObject Select(xmlXPathContext* xp, xmlNode* node, const char* path) {
  xp->node = node;
  return XPathObject(xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path), xp));
}

int NodeCount(const XPathObject& result) {
  if (!result || result->type != XPATH_NODESET || !result->nodesetval) return 0;
  return result->nodesetval->nodeNr;
}

std::string Text(xmlNode* node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return text;
}

class Reader {
 public:
  Reader(std::string file) : file_(std::move(file)) {}

  /// The attribute's value; an absent one is a null, which no text or truth value can take.
  std::string Attribute(xmlNode* element, const char* name) const {
    xmlChar* value = xmlGetProp(element, reinterpret_cast<const xmlChar*>(name));
    if (!value) {
      Fail(err::InvalidUseOfNull,
           FormatMsg("元素:%0 (第%1行)\r\n属性:%2", reinterpret_cast<const char*>(element->name),
                     static_cast<long>(xmlGetLineNo(element)), name));
    }
    std::string text = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return text;
  }

  [[noreturn]] void Fail(int32_t number, const std::string& details) const {
    throw Error(number, kModuleSource,
                FormatMsg("读取自测试算例的定义文件'%0'失败!", file_) + ErrDetailSep() +
                    RuntimeText(number) + "\r\n" + details + "\r\n" + "文件名:" + file_);
  }

 private:
  std::string file_;
};

}  // namespace

void LoadXmlDefinition(TesterCore& tester) {
  std::string file = tester.DefinitionFile();
  Reader reader(file);
  // Whether the load succeeded is not asked: an unreadable document simply has no nodes.
  ParseOutcome parsed = Parse(file);
  std::unique_ptr<xmlXPathContext, XPathContextFree> xp(parsed.doc ? xmlXPathNewContext(parsed.doc.get())
                                                                   : nullptr);

  XPathObject dirs;
  if (xp) dirs = Select(xp.get(), nullptr, "/自测试配置/自测试标准目录");
  if (NodeCount(dirs) == 0) {
    std::string details = "节点:/自测试配置/自测试标准目录";
    if (!parsed.problem.empty()) details += "\r\n解析错误:" + parsed.problem;
    reader.Fail(err::ObjectNotSet, details);
  }
  tester.SetStandardFolder(ResolveStandardFolder(tester, SlashPath(Text(dirs->nodesetval->nodeTab[0]))));

  std::shared_ptr<TestCasesImpl> cases = tester.TestCases();
  cases->Clear();
  XPathObject elements = Select(xp.get(), nullptr, "/自测试配置/自测试算例");
  for (int i = 0; i < NodeCount(elements); ++i) {
    xmlNode* element = elements->nodesetval->nodeTab[i];
    auto tc = std::make_shared<TestCaseImpl>();
    tc->Attach(tester);
    tc->SetCaption(reader.Attribute(element, "名称"));
    tc->SetFolder(SlashPath(reader.Attribute(element, "目录")));
    tc->SetProjectFileName(SlashPath(reader.Attribute(element, "工程文件")));
    tc->SetMandatory(reader.Attribute(element, "必测") == "y");
    tc->SetFuncNumText(reader.Attribute(element, "功能代号"));

    XPathObject outputs = Select(xp.get(), element, "输出文件");
    for (int k = 0; k < NodeCount(outputs); ++k) {
      xmlNode* output = outputs->nodesetval->nodeTab[k];
      std::string name = SlashPath(Text(output));
      bool kept = reader.Attribute(output, "保留") == "y";
      auto file_entry = std::make_shared<OutputFile>();
      file_entry->Init(*tc, name, kept);
      tc->OutputFiles()->Add(file_entry);
    }
    cases->Add(tc);
  }
}

namespace {

std::optional<std::string> OptionalAttribute(xmlNode* element, const char* name) {
  xmlChar* value = xmlGetProp(element, reinterpret_cast<const xmlChar*>(name));
  if (!value) return std::nullopt;
  std::string text = reinterpret_cast<const char*>(value);
  xmlFree(value);
  return text;
}

std::optional<std::string> SlashedAttribute(xmlNode* element, const char* name) {
  std::optional<std::string> value = OptionalAttribute(element, name);
  if (value) value = SlashPath(*value);
  return value;
}

}  // namespace

DefinitionRecords ReadXmlRecords(const std::string& file) {
  DefinitionRecords records;
  ParseOutcome parsed = Parse(file);
  if (!parsed.doc) {
    records.problem = parsed.problem.empty() ? "not an XML document" : parsed.problem;
    return records;
  }
  std::unique_ptr<xmlXPathContext, XPathContextFree> xp(xmlXPathNewContext(parsed.doc.get()));
  if (!xp) {
    records.problem = "out of memory";
    return records;
  }
  XPathObject dirs = Select(xp.get(), nullptr, "/自测试配置/自测试标准目录");
  records.directory_count = NodeCount(dirs);
  if (records.directory_count > 0) {
    xmlNode* dir = dirs->nodesetval->nodeTab[0];
    records.directory = SlashPath(Text(dir));
    records.directory_line = static_cast<int>(xmlGetLineNo(dir));
  }
  XPathObject elements = Select(xp.get(), nullptr, "/自测试配置/自测试算例");
  for (int i = 0; i < NodeCount(elements); ++i) {
    xmlNode* element = elements->nodesetval->nodeTab[i];
    RecordedCase c;
    c.line = static_cast<int>(xmlGetLineNo(element));
    c.caption = OptionalAttribute(element, "名称");
    c.folder = SlashedAttribute(element, "目录");
    c.project = SlashedAttribute(element, "工程文件");
    c.mandatory = OptionalAttribute(element, "必测");
    c.func = OptionalAttribute(element, "功能代号");
    XPathObject outputs = Select(xp.get(), element, "输出文件");
    for (int k = 0; k < NodeCount(outputs); ++k) {
      xmlNode* output = outputs->nodesetval->nodeTab[k];
      RecordedOutput o;
      o.line = static_cast<int>(xmlGetLineNo(output));
      o.name = Trim(SlashPath(Text(output)));
      o.keep = OptionalAttribute(output, "保留");
      c.outputs.push_back(std::move(o));
    }
    records.cases.push_back(std::move(c));
  }
  return records;
}

}  // namespace corvala4
