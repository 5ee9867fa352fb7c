/* BeamCalc's calculation in C: the same project files, the same result files. */
#define _POSIX_C_SOURCE 200809L
#include "beam_calc.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define MAX_ITEMS 32
#define NAME_LEN 32

typedef struct {
  char name[NAME_LEN], shape[NAME_LEN];
  double b, h, tw, tf; /* m */
} Section;

typedef struct {
  char name[NAME_LEN], support[NAME_LEN], section[NAME_LEN];
  double L, q, P, a; /* m, kN/m, kN, m */
} Beam;

typedef struct {
  char title[256];
  Section sections[MAX_ITEMS];
  Beam beams[MAX_ITEMS];
  int n_sections, n_beams;
} Project;

static int Fail(char* error, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(error, size, format, args);
  va_end(args);
  return 1;
}

/* Splits a line into at most max words in place. */
static int Words(char* line, char** words, int max) {
  int n = 0;
  for (char* w = strtok(line, " \t"); w && n < max; w = strtok(NULL, " \t")) words[n++] = w;
  return n;
}

/* The value of key=number among the words; fallback when absent, 1 on a bad number. */
static int Value(char** words, int n, const char* key, double fallback, double* value) {
  size_t len = strlen(key);
  *value = fallback;
  for (int i = 0; i < n; ++i) {
    if (strncmp(words[i], key, len) != 0 || words[i][len] != '=') continue;
    char* end = NULL;
    *value = strtod(words[i] + len + 1, &end);
    if (words[i][len + 1] == '\0' || *end != '\0' || !isfinite(*value)) return 1;
  }
  return 0;
}

static int ReadProject(const char* path, Project* p, char* error, size_t size) {
  FILE* in = fopen(path, "r");
  if (!in) return Fail(error, size, "cannot open project %s", path);
  memset(p, 0, sizeof *p);
  char line[1024], copy[1024];
  int n = 0, bad = 0;
  while (!bad && fgets(line, sizeof line, in)) {
    ++n;
    line[strcspn(line, "\r\n")] = '\0';
    strcpy(copy, line);
    char* w[16];
    int count = Words(copy, w, 16);
    if (count == 0 || w[0][0] == '#') continue;
    if (strcmp(w[0], "title") == 0) {
      snprintf(p->title, sizeof p->title, "%s", strstr(line, "title") + 6);
    } else if (strcmp(w[0], "section") == 0 && count >= 3 && p->n_sections < MAX_ITEMS) {
      Section* s = &p->sections[p->n_sections++];
      snprintf(s->name, NAME_LEN, "%s", w[1]);
      snprintf(s->shape, NAME_LEN, "%s", w[2]);
      bad = Value(w + 3, count - 3, "b", 0, &s->b) | Value(w + 3, count - 3, "h", 0, &s->h) |
            Value(w + 3, count - 3, "tw", 0, &s->tw) | Value(w + 3, count - 3, "tf", 0, &s->tf);
      int rect = strcmp(s->shape, "rect") == 0, ibeam = strcmp(s->shape, "ibeam") == 0;
      if (bad || s->b <= 0 || s->h <= 0 ||
          !(rect || (ibeam && s->tw > 0 && s->tf > 0 && 2 * s->tf < s->h && s->tw <= s->b)))
        bad = Fail(error, size, "%s:%d: bad section %s", path, n, s->name);
    } else if (strcmp(w[0], "beam") == 0 && count >= 3 && p->n_beams < MAX_ITEMS) {
      Beam* b = &p->beams[p->n_beams++];
      snprintf(b->name, NAME_LEN, "%s", w[1]);
      snprintf(b->support, NAME_LEN, "%s", w[2]);
      for (int i = 3; i < count; ++i)
        if (strncmp(w[i], "section=", 8) == 0) snprintf(b->section, NAME_LEN, "%s", w[i] + 8);
      bad = Value(w + 3, count - 3, "L", 0, &b->L) | Value(w + 3, count - 3, "q", 0, &b->q) |
            Value(w + 3, count - 3, "P", 0, &b->P) | Value(w + 3, count - 3, "a", 0, &b->a);
      int known = strcmp(b->support, "simple") == 0 || strcmp(b->support, "cantilever") == 0;
      if (bad || !known || b->L <= 0 || b->a < 0 || b->a > b->L)
        bad = Fail(error, size, "%s:%d: bad beam %s", path, n, b->name);
    } else {
      bad = Fail(error, size, "%s:%d: not understood: %s", path, n, line);
    }
  }
  fclose(in);
  if (!bad && p->n_beams == 0 && p->n_sections == 0)
    bad = Fail(error, size, "%s: nothing to calculate", path);
  return bad;
}

static const Section* FindSection(const Project* p, const char* name) {
  for (int i = 0; i < p->n_sections; ++i)
    if (strcmp(p->sections[i].name, name) == 0) return &p->sections[i];
  return NULL;
}

typedef struct {
  double A, I, W; /* m2, m4, m3 */
} Properties;

static Properties Props(const Section* s) {
  Properties pr;
  if (strcmp(s->shape, "rect") == 0) {
    pr.A = s->b * s->h;
    pr.I = s->b * s->h * s->h * s->h / 12;
  } else {
    double web = s->h - 2 * s->tf;
    pr.A = 2 * s->b * s->tf + web * s->tw;
    pr.I = (s->b * s->h * s->h * s->h - (s->b - s->tw) * web * web * web) / 12;
  }
  pr.W = pr.I / (s->h / 2);
  return pr;
}

typedef struct {
  double RA, RB, Mmax, Vmax;
} Forces;

static double Moment(const Beam* b, double RA, double x) {
  return RA * x - b->q * x * x / 2 - (x > b->a ? b->P * (x - b->a) : 0.0);
}

static Forces Solve(const Beam* b) {
  Forces f;
  if (strcmp(b->support, "cantilever") == 0) {
    f.RA = f.Vmax = b->q * b->L + b->P;
    f.RB = 0;
    f.Mmax = b->q * b->L * b->L / 2 + b->P * b->a;
    return f;
  }
  f.RA = b->q * b->L / 2 + b->P * (b->L - b->a) / b->L;
  f.RB = b->q * b->L / 2 + b->P * b->a / b->L;
  /* The moment is largest where the shear changes sign. */
  double at[5] = {0, b->L, b->a, 0, 0};
  int n = 3;
  if (b->q > 0) {
    at[n++] = f.RA / b->q;
    at[n++] = (f.RA - b->P) / b->q;
  }
  f.Mmax = 0;
  for (int i = 0; i < n; ++i)
    if (at[i] >= 0 && at[i] <= b->L && fabs(Moment(b, f.RA, at[i])) > f.Mmax)
      f.Mmax = fabs(Moment(b, f.RA, at[i]));
  f.Vmax = fabs(f.RA) > fabs(f.RB) ? fabs(f.RA) : fabs(f.RB);
  return f;
}

static double Deflection(const Beam* b, double EI) {
  if (strcmp(b->support, "cantilever") == 0)
    return b->q * pow(b->L, 4) / (8 * EI) + b->P * b->a * b->a * (3 * b->L - b->a) / (6 * EI);
  double x = b->L / 2;
  double a = b->a >= x ? b->a : b->L - b->a;
  double rest = b->L - a;
  return 5 * b->q * pow(b->L, 4) / (384 * EI) +
         b->P * rest * x * (b->L * b->L - rest * rest - x * x) / (6 * b->L * EI);
}

static int ReadModulus(const char* folder, double* E, char* error, size_t size) {
  char path[4096], line[512];
  snprintf(path, sizeof path, "%s/material.dat", folder);
  FILE* in = fopen(path, "r");
  if (!in) return Fail(error, size, "cannot open %s", path);
  *E = 0;
  while (*E <= 0 && fgets(line, sizeof line, in)) {
    if (line[0] == '#') continue;
    line[strcspn(line, "\r\n")] = '\0';
    char* w[16];
    int n = Words(line, w, 16);
    if (Value(w, n, "E", 0, E)) *E = 0;
  }
  fclose(in);
  return *E > 0 ? 0 : Fail(error, size, "%s: no modulus E=", path);
}

/* Appends text padded with spaces to a display width, a Chinese character counting two. */
static void Pad(FILE* out, const char* text, int width, int right) {
  int used = 0;
  for (const unsigned char* c = (const unsigned char*)text; *c; ++c)
    if ((*c & 0xC0) != 0x80) used += *c >= 0xE0 ? 2 : 1;
  if (!right) fputs(text, out);
  for (; used < width; ++used) fputc(' ', out);
  if (right) fputs(text, out);
}

static void Header(FILE* out, const char* what, const Project* p) {
  time_t now = time(NULL);
  struct tm tm;
  localtime_r(&now, &tm);
  fprintf(out, "BeamCalc 1.0 计算结果: %s\n工程: %s\n", what, p->title);
  /* Zero-padded: the date line keeps its length from one day to the next. */
  fprintf(out, "计算日期: %04d年%02d月%02d日\n", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

static const char* SupportWord(const Beam* b) {
  return strcmp(b->support, "cantilever") == 0 ? "悬臂" : "简支";
}

static FILE* Open(const char* folder, const char* name, char* error, size_t size) {
  char path[4096];
  snprintf(path, sizeof path, "%s/%s", folder, name);
  FILE* out = fopen(path, "wb");
  if (!out) Fail(error, size, "cannot write %s", path);
  return out;
}

static int Close(FILE* out, const char* name, char* error, size_t size) {
  int bad = ferror(out);
  if (fclose(out) != 0 || bad) return Fail(error, size, "cannot write %s", name);
  return 0;
}

static int Forces_(const Project* p, const char* folder, char* error, size_t size) {
  FILE* out = Open(folder, "forces.out", error, size);
  if (!out) return 1;
  Header(out, "内力", p);
  Pad(out, "梁", 6, 0), Pad(out, "支承", 6, 0), Pad(out, "跨度(m)", 10, 1), Pad(out, "Mmax(kN·m)", 12, 1);
  Pad(out, "Vmax(kN)", 10, 1), Pad(out, "RA(kN)", 10, 1), Pad(out, "RB(kN)", 10, 1);
  fputc('\n', out);
  for (int i = 0; i < p->n_beams; ++i) {
    const Beam* b = &p->beams[i];
    Forces f = Solve(b);
    Pad(out, b->name, 6, 0), Pad(out, SupportWord(b), 6, 0);
    fprintf(out, "%10.3f%12.3f%10.3f%10.3f%10.3f\n", b->L, f.Mmax, f.Vmax, f.RA, f.RB);
  }
  return Close(out, "forces.out", error, size);
}

static int Deflections(const Project* p, const char* project_folder, const char* folder, char* error,
                       size_t size) {
  double E;
  if (ReadModulus(project_folder, &E, error, size)) return 1;
  for (int i = 0; i < p->n_beams; ++i)
    if (!FindSection(p, p->beams[i].section))
      return Fail(error, size, "unknown section %s", p->beams[i].section);
  FILE* out = Open(folder, "deflection.out", error, size);
  if (!out) return 1;
  Header(out, "挠度", p);
  fprintf(out, "E = %.4g kN/m2\n", E);
  Pad(out, "梁", 6, 0), Pad(out, "支承", 6, 0), Pad(out, "跨度(m)", 10, 1), Pad(out, "挠度(mm)", 12, 1);
  Pad(out, "挠跨比", 12, 1);
  fputc('\n', out);
  for (int i = 0; i < p->n_beams; ++i) {
    const Beam* b = &p->beams[i];
    double d = Deflection(b, E * Props(FindSection(p, b->section)).I);
    char ratio[32] = "-";
    if (d > 0) snprintf(ratio, sizeof ratio, "1/%ld", lround(b->L / d));
    Pad(out, b->name, 6, 0), Pad(out, SupportWord(b), 6, 0);
    fprintf(out, "%10.3f%12.3f%12s\n", b->L, d * 1000, ratio);
  }
  return Close(out, "deflection.out", error, size);
}

static int Sections(const Project* p, const char* folder, char* error, size_t size) {
  FILE* out = Open(folder, "section.out", error, size);
  if (!out) return 1;
  Header(out, "截面特性", p);
  Pad(out, "截面", 6, 0), Pad(out, "形状", 8, 0), Pad(out, "A(cm2)", 12, 1), Pad(out, "I(cm4)", 14, 1);
  Pad(out, "W(cm3)", 12, 1);
  fputc('\n', out);
  for (int i = 0; i < p->n_sections; ++i) {
    const Section* s = &p->sections[i];
    Properties pr = Props(s);
    Pad(out, s->name, 6, 0), Pad(out, strcmp(s->shape, "rect") == 0 ? "矩形" : "工字形", 8, 0);
    fprintf(out, "%12.3f%14.3f%12.3f\n", pr.A * 1e4, pr.I * 1e8, pr.W * 1e6);
  }
  return Close(out, "section.out", error, size);
}

int beamcalc_calculate(const char* project_path, int func_num, const char* out_folder, char* error,
                       size_t error_size) {
  Project* p = malloc(sizeof *p);
  if (!p) return Fail(error, error_size, "out of memory");
  char project_folder[4096];
  snprintf(project_folder, sizeof project_folder, "%s", project_path);
  char* slash = strrchr(project_folder, '/');
  if (slash)
    *slash = '\0';
  else
    strcpy(project_folder, ".");
  int bad = ReadProject(project_path, p, error, error_size);
  if (!bad && (func_num == 1 || func_num == 4)) bad = Forces_(p, out_folder, error, error_size);
  if (!bad && (func_num == 2 || func_num == 4))
    bad = Deflections(p, project_folder, out_folder, error, error_size);
  if (!bad && func_num == 3) bad = Sections(p, out_folder, error, error_size);
  if (!bad && (func_num < 1 || func_num > 4))
    bad = Fail(error, error_size, "unknown function code %d", func_num);
  free(p);
  return bad;
}

double beamcalc_midspan_moment(double L, double q) {
  return q * L * L / 8;
}
