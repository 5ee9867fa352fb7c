// An XML definition of a few kilobytes whose standard directory would expand to 240 MB:
// shared by the loader's test and the benchmark of a quiet run over it.
#pragma once

#include <string>

namespace corvala4::testing {

inline std::string EntityBomb() {
  std::string bomb = "<!DOCTYPE x[<!ENTITY a \"" + std::string(2000, 'x') + "\"><!ENTITY b \"";
  for (int i = 0; i < 600; ++i) bomb += "&a;";
  bomb += "\">]><自测试配置><自测试标准目录>";
  for (int i = 0; i < 200; ++i) bomb += "&b;";
  return bomb + "</自测试标准目录></自测试配置>";
}

}  // namespace corvala4::testing
