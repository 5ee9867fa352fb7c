#include "foundation/platform/text_stream.h"

#include <errno.h>
#include <sys/stat.h>

#include <algorithm>

#include "foundation/errors.h"
#include "foundation/platform/code_page.h"
#include "foundation/platform/descriptor.h"
#include "foundation/platform/file_system_failure.h"
#include "foundation/platform/log.h"

namespace corvala4 {

TextStream::~TextStream() = default;

namespace posixfs {

namespace {

/// The length of the text without a UTF-8 sequence cut off at its end.
size_t CompleteUtf8Prefix(const std::string& text) {
  size_t n = text.size();
  for (size_t back = 1; back <= 4 && back <= n; ++back) {
    unsigned char c = static_cast<unsigned char>(text[n - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return need > back ? n - back : n;
  }
  return n;
}

class PosixTextStream : public TextStream {
 public:
  PosixTextStream(int fd, int mode, int format, std::string path, bool empty)
      : fd_(fd), mode_(mode), format_(format), path_(std::move(path)) {
    bool new_content = mode == ForWriting || (mode == ForAppending && empty);
    if (format == TristateTrue && new_content) pending_bytes_ = "\xFF\xFE";
  }
  ~PosixTextStream() override {
    if (fd_.get() < 0) return;
    try {
      Close();
    } catch (const Error& e) {
      // A destructor cannot raise; the loss is at least on record.
      WriteLog(LogEventType::Error, e.Description());
    } catch (...) {
      WriteLog(LogEventType::Error, "'" + path_ + "' could not be closed");
    }
  }

  bool AtEndOfStream() override {
    Require(ForReading);
    if (!peek_.empty()) return false;
    if (!eof_) ReadMore(64 * 1024);
    return peek_.empty();
  }

  std::string ReadAll() override {
    Require(ForReading);
    // Size the buffer once from the file's length, so a large file is not copied
    // over and over while it grows.
    struct stat st {};
    bool sized = fstat(fd_.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
    if (sized) peek_.reserve(peek_.size() + static_cast<size_t>(st.st_size) + 1);
    while (!eof_) {
      // The spare byte of a sized buffer is enough to see the end without growing it.
      size_t room = peek_.capacity() - peek_.size();
      ReadMore(room >= 64 * 1024 || (sized && room > 0) ? room : std::max<size_t>(peek_.size(), 256 * 1024));
    }
    std::string bytes = std::move(peek_);
    peek_.clear();
    bool at_start = !started_;
    started_ = true;
    if (format_ != TristateTrue) return FromCodePageOwned(std::move(bytes));
    std::string_view view = bytes;
    const char* codeset = "UTF-16LE";
    if (at_start && view.size() >= 2 && view.substr(0, 2) == "\xFF\xFE") {
      view.remove_prefix(2);
    } else if (at_start && view.size() >= 2 && view.substr(0, 2) == "\xFE\xFF") {
      view.remove_prefix(2);
      codeset = "UTF-16BE";
    }
    return ConvertText(view, codeset, "UTF-8");
  }

  void Write(const std::string& text) override {
    Require(0);
    pending_text_ += text;
    if (pending_text_.size() >= 64 * 1024) Flush(false);
  }

  void WriteLine(const std::string& text) override {
    Write(text);
    Write("\r\n");
  }

  void Close() override {
    if (fd_.get() < 0) return;
    int error = 0;
    try {
      if (mode_ != ForReading) Flush(true);
    } catch (...) {
      close(fd_.release());
      throw;
    }
    if (close(fd_.release()) != 0) error = errno;
    if (error != 0 && mode_ != ForReading) FailErrno(error, path_, Subject::File);
  }

 private:
  /// mode 0 means any writing mode.
  void Require(int mode) {
    if (fd_.get() < 0) Fail(err::BadFileMode, path_, "the stream is closed");
    bool ok = mode == ForReading ? mode_ == ForReading : mode_ != ForReading;
    if (!ok) Fail(err::BadFileMode, path_, mode == ForReading ? "opened for writing" : "opened for reading");
  }

  void ReadMore(size_t chunk) {
    size_t used = peek_.size();
    peek_.resize(used + chunk);
    while (true) {
      ssize_t n = read(fd_.get(), peek_.data() + used, chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        int error = errno;
        peek_.resize(used);
        FailErrno(error, path_, Subject::File);
      }
      peek_.resize(used + static_cast<size_t>(n));
      if (n == 0) eof_ = true;
      return;
    }
  }

  /// Converts and writes what is pending. Before the end, a character cut between
  /// two Write calls waits for its remaining bytes.
  void Flush(bool final) {
    size_t whole = final ? pending_text_.size() : CompleteUtf8Prefix(pending_text_);
    if (whole > 0) {
      std::string_view text(pending_text_.data(), whole);
      pending_bytes_ += format_ == TristateTrue ? ConvertText(text, "UTF-8", "UTF-16LE") : ToCodePage(text);
      pending_text_.erase(0, whole);
    }
    size_t done = 0;
    while (done < pending_bytes_.size()) {
      ssize_t n = write(fd_.get(), pending_bytes_.data() + done, pending_bytes_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        int error = errno;
        pending_bytes_.erase(0, done);
        FailErrno(error, path_, Subject::File);
      }
      done += static_cast<size_t>(n);
    }
    pending_bytes_.clear();
  }

  Fd fd_;
  int mode_;
  int format_;
  std::string path_;
  std::string peek_;  // read ahead, not yet handed out
  bool eof_ = false;
  bool started_ = false;
  std::string pending_text_;   // UTF-8, not yet converted
  std::string pending_bytes_;  // converted, not yet written
};

}  // namespace

std::unique_ptr<TextStream> NewTextStream(int fd, int mode, int format, std::string path, bool empty) {
  return std::make_unique<PosixTextStream>(fd, mode, format, std::move(path), empty);
}

}  // namespace posixfs
}  // namespace corvala4
