// BeamCalc's own calculation: simply supported and cantilever beams under a uniform
// load and a point load, and the properties of rectangular and I sections.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace beamcalc {

struct Section {
  std::string name;
  std::string shape;  // "rect" or "ibeam"
  double b = 0, h = 0, tw = 0, tf = 0;  // m
};

struct Beam {
  std::string name;
  std::string support;  // "simple" or "cantilever"
  double L = 0;         // span, m
  double q = 0;         // uniform load, kN/m
  double P = 0;         // point load, kN
  double a = 0;         // position of P from the left support (or the fixed end), m
  std::string section;
};

struct Project {
  std::string title;
  std::vector<Section> sections;
  std::vector<Beam> beams;
};

/// A project file or a material file that cannot be read or makes no sense.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Project ReadProject(const std::string& path);

/// The function codes: 1 internal forces, 2 deflections, 3 section properties, 4 forces and deflections.
/// Reads the project (and for deflections material.dat beside it) and writes the result
/// files into outFolder; returns the names of the files written.
std::vector<std::string> Calculate(const std::string& projectPath, int funcNum, const std::string& outFolder);

}  // namespace beamcalc
