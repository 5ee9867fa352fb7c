#include "beam_calc.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

namespace beamcalc {

namespace {

std::string Folder(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

/// key=value pairs after the first words of a line.
std::map<std::string, double> Values(const std::vector<std::string>& words, size_t from,
                                     const std::string& where) {
  std::map<std::string, double> values;
  for (size_t i = from; i < words.size(); ++i) {
    size_t eq = words[i].find('=');
    if (eq == std::string::npos || words[i].rfind("section=", 0) == 0) continue;
    std::string key = words[i].substr(0, eq), text = words[i].substr(eq + 1);
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v))
      throw InputError(where + ": " + key + " is not a number: " + text);
    values[key] = v;
  }
  return values;
}

double Get(const std::map<std::string, double>& values, const std::string& key, double fallback) {
  auto it = values.find(key);
  return it == values.end() ? fallback : it->second;
}

const Section& FindSection(const Project& p, const std::string& name) {
  for (const Section& s : p.sections)
    if (s.name == name) return s;
  throw InputError("unknown section " + name);
}

struct Properties {
  double A, I, W;  // m2, m4, m3
};

Properties Props(const Section& s) {
  if (s.shape == "rect") {
    double I = s.b * s.h * s.h * s.h / 12;
    return {s.b * s.h, I, I / (s.h / 2)};
  }
  double web = s.h - 2 * s.tf;
  double I = (s.b * s.h * s.h * s.h - (s.b - s.tw) * web * web * web) / 12;
  return {2 * s.b * s.tf + web * s.tw, I, I / (s.h / 2)};
}

struct Forces {
  double RA, RB, Mmax, Vmax;  // kN, kN, kN·m, kN; a cantilever's reaction is RA, at its fixed end
};

Forces Solve(const Beam& b) {
  if (b.support == "cantilever") {
    double R = b.q * b.L + b.P;
    double M = b.q * b.L * b.L / 2 + b.P * b.a;
    return {R, 0, M, R};
  }
  double RA = b.q * b.L / 2 + b.P * (b.L - b.a) / b.L;
  double RB = b.q * b.L / 2 + b.P * b.a / b.L;
  auto moment = [&](double x) { return RA * x - b.q * x * x / 2 - (x > b.a ? b.P * (x - b.a) : 0.0); };
  // The moment is largest where the shear changes sign: at the point load or where q
  // has used up the reaction on either side of it.
  std::vector<double> at = {0, b.L, b.a};
  if (b.q > 0) {
    at.push_back(RA / b.q);
    at.push_back((RA - b.P) / b.q);
  }
  double Mmax = 0;
  for (double x : at)
    if (x >= 0 && x <= b.L) Mmax = std::max(Mmax, std::fabs(moment(x)));
  return {RA, RB, Mmax, std::max(std::fabs(RA), std::fabs(RB))};
}

/// The largest deflection in m: at midspan of a simple beam, at the tip of a cantilever.
double Deflection(const Beam& b, double EI) {
  if (b.support == "cantilever")
    return b.q * std::pow(b.L, 4) / (8 * EI) + b.P * b.a * b.a * (3 * b.L - b.a) / (6 * EI);
  double x = b.L / 2;
  double a = b.a >= x ? b.a : b.L - b.a;  // mirror the load so that midspan lies left of it
  double rest = b.L - a;
  return 5 * b.q * std::pow(b.L, 4) / (384 * EI) +
         b.P * rest * x * (b.L * b.L - rest * rest - x * x) / (6 * b.L * EI);
}

double ReadModulus(const std::string& folder) {
  std::string path = folder + "/material.dat";
  std::ifstream in(path);
  if (!in) throw InputError("cannot open " + path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    auto values = Values(Words(line), 0, path);
    double E = Get(values, "E", 0);
    if (E > 0) return E;
  }
  throw InputError(path + ": no modulus E=");
}

std::string Today() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[64];
  // Zero-padded: the date line must keep its length from one day to the next.
  std::snprintf(buf, sizeof buf, "计算日期: %04d年%02d月%02d日", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday);
  return buf;
}

/// text padded with spaces to a display width, a Chinese character counting two columns.
std::string Pad(const std::string& text, int width, bool right = false) {
  int used = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) == 0x80) continue;
    used += c >= 0xE0 ? 2 : 1;
  }
  std::string fill(used < width ? static_cast<size_t>(width - used) : 0, ' ');
  return right ? fill + text : text + fill;
}

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...) {
  char buf[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return std::string(buf) + "\n";
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw InputError("cannot write " + path);
}

std::string Header(const char* what, const Project& p) {
  return Line("BeamCalc 1.0 计算结果: %s", what) + Line("工程: %s", p.title.c_str()) + Today() + "\n";
}

const char* SupportWord(const Beam& b) { return b.support == "cantilever" ? "悬臂" : "简支"; }

}  // namespace

Project ReadProject(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw InputError("cannot open project " + path);
  Project p;
  int n = 0;
  for (std::string line; std::getline(in, line);) {
    ++n;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> w = Words(line);
    if (w.empty() || w[0][0] == '#') continue;
    std::string where = path + ":" + std::to_string(n);
    if (w[0] == "title") {
      p.title = line.substr(line.find("title") + 6);
    } else if (w[0] == "section" && w.size() >= 3) {
      auto v = Values(w, 3, where);
      Section s{w[1], w[2], Get(v, "b", 0), Get(v, "h", 0), Get(v, "tw", 0), Get(v, "tf", 0)};
      bool ok = s.b > 0 && s.h > 0 &&
                (s.shape == "rect" ||
                 (s.shape == "ibeam" && s.tw > 0 && s.tf > 0 && 2 * s.tf < s.h && s.tw <= s.b));
      if (!ok) throw InputError(where + ": bad section " + s.name);
      p.sections.push_back(s);
    } else if (w[0] == "beam" && w.size() >= 3) {
      auto v = Values(w, 3, where);
      Beam b{w[1], w[2], Get(v, "L", 0), Get(v, "q", 0), Get(v, "P", 0), Get(v, "a", 0), ""};
      for (size_t i = 3; i < w.size(); ++i)
        if (w[i].rfind("section=", 0) == 0) b.section = w[i].substr(8);
      if ((b.support != "simple" && b.support != "cantilever") || b.L <= 0 || b.a < 0 || b.a > b.L)
        throw InputError(where + ": bad beam " + b.name);
      p.beams.push_back(b);
    } else {
      throw InputError(where + ": not understood: " + line);
    }
  }
  if (p.beams.empty() && p.sections.empty()) throw InputError(path + ": nothing to calculate");
  return p;
}

std::vector<std::string> Calculate(const std::string& projectPath, int funcNum,
                                   const std::string& outFolder) {
  Project p = ReadProject(projectPath);
  std::vector<std::string> written;
  if (funcNum == 1 || funcNum == 4) {
    std::string text = Header("内力", p);
    text += Pad("梁", 6) + Pad("支承", 6) + Pad("跨度(m)", 10, true) + Pad("Mmax(kN·m)", 12, true) +
            Pad("Vmax(kN)", 10, true) + Pad("RA(kN)", 10, true) + Pad("RB(kN)", 10, true) + "\n";
    for (const Beam& b : p.beams) {
      Forces f = Solve(b);
      text += Pad(b.name, 6) + Pad(SupportWord(b), 6) +
              Line("%10.3f%12.3f%10.3f%10.3f%10.3f", b.L, f.Mmax, f.Vmax, f.RA, f.RB);
    }
    Write(outFolder + "/forces.out", text);
    written.push_back("forces.out");
  }
  if (funcNum == 2 || funcNum == 4) {
    double E = ReadModulus(Folder(projectPath));
    std::string text = Header("挠度", p) + Line("E = %.4g kN/m2", E);
    text += Pad("梁", 6) + Pad("支承", 6) + Pad("跨度(m)", 10, true) + Pad("挠度(mm)", 12, true) +
            Pad("挠跨比", 12, true) + "\n";
    for (const Beam& b : p.beams) {
      double d = Deflection(b, E * Props(FindSection(p, b.section)).I);
      std::string ratio = d > 0 ? "1/" + std::to_string(std::lround(b.L / d)) : "-";
      text +=
          Pad(b.name, 6) + Pad(SupportWord(b), 6) + Line("%10.3f%12.3f%12s", b.L, d * 1000, ratio.c_str());
    }
    Write(outFolder + "/deflection.out", text);
    written.push_back("deflection.out");
  }
  if (funcNum == 3) {
    std::string text = Header("截面特性", p);
    text += Pad("截面", 6) + Pad("形状", 8) + Pad("A(cm2)", 12, true) + Pad("I(cm4)", 14, true) +
            Pad("W(cm3)", 12, true) + "\n";
    for (const Section& s : p.sections) {
      Properties pr = Props(s);
      text += Pad(s.name, 6) + Pad(s.shape == "rect" ? "矩形" : "工字形", 8) +
              Line("%12.3f%14.3f%12.3f", pr.A * 1e4, pr.I * 1e8, pr.W * 1e6);
    }
    Write(outFolder + "/section.out", text);
    written.push_back("section.out");
  }
  if (written.empty()) throw InputError("unknown function code " + std::to_string(funcNum));
  return written;
}

}  // namespace beamcalc
