#include "foundation/errors.h"

#include <cerrno>
#include <new>
#include <vector>

#include "corvala4/user_interface.h"
#include "foundation/globals.h"
#include "foundation/platform/log.h"
#include "foundation/run_context.h"

namespace corvala4 {

namespace {

std::vector<std::string> SplitDescription(const std::string& text) {
  std::vector<std::string> pieces;
  const std::string& sep = ErrDetailSep();
  size_t pos = 0;
  while (true) {
    size_t hit = text.find(sep, pos);
    if (hit == std::string::npos) break;
    pieces.push_back(text.substr(pos, hit - pos));
    pos = hit + sep.size();
  }
  pieces.push_back(text.substr(pos));
  return pieces;
}

}  // namespace

std::string RuntimeText(int32_t number) {
  switch (number) {
    case err::InvalidProcedureCall: return "无效的过程调用或参数";
    case err::Overflow: return "溢出";
    case err::OutOfMemory: return "内存不足";
    case err::SubscriptOutOfRange: return "下标越界";
    case err::TypeMismatch: return "类型不匹配";
    case err::FileNotFound: return "文件未找到";
    case err::BadFileMode: return "文件模式错误";
    case err::DeviceIO: return "设备 I/O 错误";
    case err::FileAlreadyExists: return "文件已存在";
    case err::DiskFull: return "磁盘已满";
    case err::PermissionDenied: return "没有权限";
    case err::PathFileAccess: return "路径/文件访问错误";
    case err::PathNotFound: return "路径未找到";
    case err::ObjectNotSet: return "对象变量或 With 块变量未设置";
    case err::InvalidUseOfNull: return "无效使用 Null";
    case err::CannotCreateObject: return "ActiveX 部件不能创建对象";
    case err::KeyAlreadyAssociated: return "此键已经与该集合的一个元素相关联";
    default: return {};
  }
}

int32_t ErrnoNumber(int errnum, int32_t otherwise) {
  switch (errnum) {
    case ENOENT: return err::FileNotFound;
    case ENOTDIR: return err::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EISDIR: return err::PermissionDenied;
    case EEXIST: return err::FileAlreadyExists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return err::DiskFull;
    case EIO: return err::DeviceIO;
    case ENOMEM: return err::OutOfMemory;
    default: return otherwise;
  }
}

const std::string& ErrDetailSep() {
  static const std::string sep = "<+>";
  return sep;
}

std::string ErrSummaryText(const Error& e) {
  if (e.Description().empty()) return {};
  return SplitDescription(e.Description()).front();
}

std::string ErrDetailText(const Error& e) {
  std::string piece;
  if (!e.Description().empty()) {
    std::vector<std::string> pieces = SplitDescription(e.Description());
    piece = pieces.size() >= 2 ? pieces[1] : pieces[0];
  }
  return "错误 " + std::to_string(e.Number()) + "\r\n" + "位置 " + e.Source() + "\r\n" + "描述 " + piece + "\r\n";
}

void ShowError(const Error& e) {
  if (e.Number() == 0 || e.Number() == CancelError) return;
  // The dialog belongs to a tester that shows its user interface; a quiet run must never
  // stop at a modal dialog, so its failures go to the log instead of being lost.
  RunContext* tester = G().CurrentTester;
  if (!tester) return;
  if (!tester->ShowUI()) {
    WriteLog(LogEventType::Error, ErrSummaryText(e) + "\r\n" + ErrDetailText(e));
    return;
  }
  CurrentUserInterface().ShowErrorDialog(ErrSummaryText(e), ErrDetailText(e));
}

Error ToError(std::exception_ptr caught) {
  try {
    std::rethrow_exception(caught);
  } catch (const Error& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return Error(err::OutOfMemory, kModuleSource, RuntimeText(err::OutOfMemory));
  } catch (const std::exception& e) {
    // A host's own exception: reported like any other failure, with what it said.
    return Error(err::InvalidProcedureCall, "host", std::string("程序异常: ") + e.what());
  } catch (...) {
    return Error(err::InvalidProcedureCall, "host", "程序异常: 未知的异常");
  }
}

void ShowCurrentError(std::exception_ptr caught) {
  if (!caught) return;
  ShowError(ToError(caught));
}

void Raise(int32_t number, std::string description) {
  if (description.empty()) description = RuntimeText(number);
  throw Error(number, kModuleSource, std::move(description));
}

void RaiseDetailed(int32_t number, const std::string& details) {
  throw Error(number, kModuleSource, RuntimeText(number) + ErrDetailSep() + details);
}

}  // namespace corvala4
