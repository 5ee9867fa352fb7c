#include "corvala4/error.h"

namespace corvala4 {

Error::Error(int32_t number, std::string source, std::string description)
    : number_(number), source_(std::move(source)), description_(std::move(description)) {}

const char* Error::what() const noexcept { return description_.c_str(); }

}  // namespace corvala4
