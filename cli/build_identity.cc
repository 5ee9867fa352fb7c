#include "cli/build_identity.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "cli/command_error.h"
#include "foundation/platform/descriptor.h"

namespace corvala4::cli {

namespace {

struct DigestFree {
  void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

}  // namespace

BuildIdentity IdentifyBuild(const std::string& path) {
  auto fail = [&](int code) -> CommandError {
    return CommandError(2, "cannot read the host executable '" + path + "': " + strerror(code));
  };
  Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw fail(errno);
  struct stat st {};
  if (fstat(fd.get(), &st) != 0) throw fail(errno);
  if (!S_ISREG(st.st_mode)) throw fail(S_ISDIR(st.st_mode) ? EISDIR : ENODEV);
  BuildIdentity build;
  build.path = path;
  build.size = st.st_size;
  build.modified = st.st_mtime;

  std::unique_ptr<EVP_MD_CTX, DigestFree> ctx(EVP_MD_CTX_new());
  EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr);
  char buf[1 << 16];
  while (true) {
    ssize_t n = read(fd.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw fail(errno);
    if (n == 0) break;
    EVP_DigestUpdate(ctx.get(), buf, static_cast<size_t>(n));
  }
  fd = Fd();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_DigestFinal_ex(ctx.get(), digest, &len);
  static const char* const kHex = "0123456789abcdef";
  for (unsigned int i = 0; i < len; ++i) {
    build.sha256 += kHex[digest[i] >> 4];
    build.sha256 += kHex[digest[i] & 15];
  }
  return build;
}

std::string IdentityText(const BuildIdentity& build) {
  return build.path + " (" + std::to_string(build.size) + " bytes, modified " +
         LocalTimeText(build.modified) + ", sha256 " + build.sha256 + ")";
}

}  // namespace corvala4::cli
