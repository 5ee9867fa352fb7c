#include "unit_tests.h"

#include <corvala4/corvala4.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "beam_calc.h"

namespace beamcalc {

namespace {

void Check(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error(what);
}

/// A fresh folder for one test, removed with what it holds when the test ends.
class Scratch {
 public:
  Scratch() {
    std::string templ = (std::filesystem::temp_directory_path() / "beamcalc-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("cannot make a scratch folder");
    path_ = templ;
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string Write(const std::string& name, const std::string& text) const {
    std::string file = path_ + "/" + name;
    std::ofstream(file) << text;
    return file;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void ReadsSectionsAndBeams() {
  Scratch dir;
  Project p = ReadProject(dir.Write("p.prj", "title 试算\nsection S1 rect b=0.2 h=0.4\n"
                                             "beam B1 cantilever L=3 P=10 a=3 section=S1\n"));
  Check(p.title == "试算", "title: " + p.title);
  Check(p.sections.size() == 1 && p.sections[0].h == 0.4, "one section 0.4 m high");
  Check(p.beams.size() == 1 && p.beams[0].support == "cantilever" && p.beams[0].P == 10, "one cantilever");
}

void RefusesAPointLoadBeyondTheSpan() {
  Scratch dir;
  std::string project = dir.Write("p.prj", "beam B1 simple L=3 P=10 a=4\n");
  try {
    ReadProject(project);
  } catch (const InputError&) {
    return;
  }
  throw std::runtime_error("a point load beyond the span was accepted");
}

void SimpleBeamUnderUniformLoad() {
  // q = 8 kN/m over L = 5 m: M = qL²/8 = 25 kN·m, V = R = qL/2 = 20 kN.
  Scratch dir;
  std::string project = dir.Write("p.prj", "beam B1 simple L=5 q=8\n");
  Calculate(project, 1, dir.path());
  std::string forces = dir.Read("forces.out");
  Check(forces.find("5.000      25.000    20.000    20.000    20.000") != std::string::npos,
        "forces.out: " + forces);
}

void RefusesAnUnknownFunctionCode() {
  Scratch dir;
  std::string project = dir.Write("p.prj", "beam B1 simple L=5 q=8\n");
  try {
    Calculate(project, 9, dir.path());
  } catch (const InputError& e) {
    Check(std::string(e.what()) == "unknown function code 9", e.what());
    return;
  }
  throw std::runtime_error("function code 9 was accepted");
}

}  // namespace

void RegisterUnitTests() {
  corvala4::RegisterUnitTest("读工程: 截面与梁", ReadsSectionsAndBeams);
  corvala4::RegisterUnitTest("读工程: 集中荷载超出跨度", RefusesAPointLoadBeyondTheSpan);
  corvala4::RegisterUnitTest("内力: 简支梁均布荷载", SimpleBeamUnderUniformLoad);
  corvala4::RegisterUnitTest("计算: 未知功能代号", RefusesAnUnknownFunctionCode);
}

}  // namespace beamcalc
