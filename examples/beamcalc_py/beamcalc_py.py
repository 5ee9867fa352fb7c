#!/usr/bin/env python3
"""BeamCalc as a Python host: the same calculation, data and cases as the C++ one.

    beamcalc_py.py PROJECT.prj FUNC   calculate a project (1 forces, 2 deflections, 3 sections, 4 both)
    beamcalc_py.py --quiet            run every test case without any window
    beamcalc_py.py --check            ask for the tests when this script has not passed
    beamcalc_py.py --launch           open the test window
    beamcalc_py.py --unit-tests       open the unit-runner form with BeamCalc's own unit tests
"""

import datetime
import math
import os
import sys

import corvala4


class InputError(Exception):
    pass


def words_values(words, where):
    values = {}
    for word in words:
        if "=" not in word or word.startswith("section="):
            continue
        key, text = word.split("=", 1)
        try:
            value = float(text)
        except ValueError:
            value = math.nan
        if not math.isfinite(value):
            raise InputError(f"{where}: {key} is not a number: {text}")
        values[key] = value
    return values


def read_project(path):
    title, sections, beams = "", {}, []
    try:
        lines = open(path, encoding="utf-8").read().splitlines()
    except OSError:
        raise InputError(f"cannot open project {path}") from None
    for n, line in enumerate(lines, 1):
        w = line.split()
        if not w or w[0].startswith("#"):
            continue
        where = f"{path}:{n}"
        if w[0] == "title":
            title = line[line.index("title") + 6:]
        elif w[0] == "section" and len(w) >= 3:
            v = words_values(w[3:], where)
            s = dict(name=w[1], shape=w[2], b=v.get("b", 0), h=v.get("h", 0), tw=v.get("tw", 0),
                     tf=v.get("tf", 0))
            ibeam = (s["shape"] == "ibeam" and s["tw"] > 0 and s["tf"] > 0 and 2 * s["tf"] < s["h"]
                     and s["tw"] <= s["b"])
            if s["b"] <= 0 or s["h"] <= 0 or not (s["shape"] == "rect" or ibeam):
                raise InputError(f"{where}: bad section {s['name']}")
            sections[s["name"]] = s
        elif w[0] == "beam" and len(w) >= 3:
            v = words_values(w[3:], where)
            b = dict(name=w[1], support=w[2], L=v.get("L", 0), q=v.get("q", 0), P=v.get("P", 0),
                     a=v.get("a", 0), section=next((x[8:] for x in w[3:] if x.startswith("section=")), ""))
            if b["support"] not in ("simple", "cantilever") or b["L"] <= 0 or not 0 <= b["a"] <= b["L"]:
                raise InputError(f"{where}: bad beam {b['name']}")
            beams.append(b)
        else:
            raise InputError(f"{where}: not understood: {line}")
    if not beams and not sections:
        raise InputError(f"{path}: nothing to calculate")
    return title, sections, beams


def props(s):
    if s["shape"] == "rect":
        I = s["b"] * s["h"] ** 3 / 12
        return s["b"] * s["h"], I, I / (s["h"] / 2)
    web = s["h"] - 2 * s["tf"]
    I = (s["b"] * s["h"] ** 3 - (s["b"] - s["tw"]) * web ** 3) / 12
    return 2 * s["b"] * s["tf"] + web * s["tw"], I, I / (s["h"] / 2)


def solve(b):
    L, q, P, a = b["L"], b["q"], b["P"], b["a"]
    if b["support"] == "cantilever":
        R = q * L + P
        return R, 0.0, q * L * L / 2 + P * a, R
    RA = q * L / 2 + P * (L - a) / L
    RB = q * L / 2 + P * a / L
    # The moment is largest where the shear changes sign.
    at = [0, L, a] + ([RA / q, (RA - P) / q] if q > 0 else [])
    moment = lambda x: RA * x - q * x * x / 2 - (P * (x - a) if x > a else 0.0)  # noqa: E731
    Mmax = max([abs(moment(x)) for x in at if 0 <= x <= L] + [0])
    return RA, RB, Mmax, max(abs(RA), abs(RB))


def deflection(b, EI):
    L, q, P, a = b["L"], b["q"], b["P"], b["a"]
    if b["support"] == "cantilever":
        return q * L ** 4 / (8 * EI) + P * a * a * (3 * L - a) / (6 * EI)
    x = L / 2
    a = a if a >= x else L - a
    rest = L - a
    return 5 * q * L ** 4 / (384 * EI) + P * rest * x * (L * L - rest * rest - x * x) / (6 * L * EI)


def read_modulus(folder):
    path = os.path.join(folder, "material.dat")
    try:
        lines = open(path, encoding="utf-8").read().splitlines()
    except OSError:
        raise InputError(f"cannot open {path}") from None
    for line in lines:
        if line and not line.startswith("#") and words_values(line.split(), path).get("E", 0) > 0:
            return words_values(line.split(), path)["E"]
    raise InputError(f"{path}: no modulus E=")


def pad(text, width, right=False):
    """text padded to a display width, a Chinese character counting two columns."""
    used = sum(2 if ord(c) >= 0x800 else 1 for c in text)
    fill = " " * max(0, width - used)
    return fill + text if right else text + fill


def header(what, title):
    # Zero-padded: the date line keeps its length from one day to the next.
    today = datetime.date.today()
    return (f"BeamCalc 1.0 计算结果: {what}\n工程: {title}\n"
            f"计算日期: {today.year:04d}年{today.month:02d}月{today.day:02d}日\n")


def support_word(b):
    return "悬臂" if b["support"] == "cantilever" else "简支"


def write(path, text):
    try:
        with open(path, "w", encoding="utf-8", newline="\n") as out:
            out.write(text)
    except OSError:
        raise InputError(f"cannot write {path}") from None


def calculate(project_path, func_num, out_folder):
    title, sections, beams = read_project(project_path)
    written = []
    if func_num in (1, 4):
        text = header("内力", title) + pad("梁", 6) + pad("支承", 6) + pad("跨度(m)", 10, True) + \
            pad("Mmax(kN·m)", 12, True) + pad("Vmax(kN)", 10, True) + pad("RA(kN)", 10, True) + \
            pad("RB(kN)", 10, True) + "\n"
        for b in beams:
            RA, RB, Mmax, Vmax = solve(b)
            text += pad(b["name"], 6) + pad(support_word(b), 6) + \
                "%10.3f%12.3f%10.3f%10.3f%10.3f\n" % (b["L"], Mmax, Vmax, RA, RB)
        write(os.path.join(out_folder, "forces.out"), text)
        written.append("forces.out")
    if func_num in (2, 4):
        E = read_modulus(os.path.dirname(project_path) or ".")
        text = header("挠度", title) + "E = %.4g kN/m2\n" % E + pad("梁", 6) + pad("支承", 6) + \
            pad("跨度(m)", 10, True) + pad("挠度(mm)", 12, True) + pad("挠跨比", 12, True) + "\n"
        for b in beams:
            if b["section"] not in sections:
                raise InputError(f"unknown section {b['section']}")
            d = deflection(b, E * props(sections[b["section"]])[1])
            # C's lround: halves away from zero.
            ratio = "1/%d" % math.floor(b["L"] / d + 0.5) if d > 0 else "-"
            text += pad(b["name"], 6) + pad(support_word(b), 6) + \
                "%10.3f%12.3f%12s\n" % (b["L"], d * 1000, ratio)
        write(os.path.join(out_folder, "deflection.out"), text)
        written.append("deflection.out")
    if func_num == 3:
        text = header("截面特性", title) + pad("截面", 6) + pad("形状", 8) + pad("A(cm2)", 12, True) + \
            pad("I(cm4)", 14, True) + pad("W(cm3)", 12, True) + "\n"
        for s in sections.values():
            A, I, W = props(s)
            text += pad(s["name"], 6) + pad("矩形" if s["shape"] == "rect" else "工字形", 8) + \
                "%12.3f%14.3f%12.3f\n" % (A * 1e4, I * 1e8, W * 1e6)
        write(os.path.join(out_folder, "section.out"), text)
        written.append("section.out")
    if not written:
        raise InputError(f"unknown function code {func_num}")
    return written


def test(mode):
    tester = corvala4.Tester(host_exe=os.path.realpath(__file__))
    summary = {}

    def do_test(case):
        calculate(case.project_file, case.func_num, case.test_case_folder)

    def after_all_test(cases):
        done = [(c.success and c.passed, c.success, c.mandatory) for c in cases]
        summary.update(cases=len(done), passed=sum(ok for ok, _, _ in done),
                       failed=sum(not s for _, s, _ in done), mandatory=sum(m for _, _, m in done),
                       mandatory_passed=sum(ok and m for ok, _, m in done))

    tester.on_do_test = do_test
    tester.on_after_all_test = after_all_test
    tester.on_progress = lambda line: print(line, flush=True)
    try:
        if mode == "--quiet":
            tester.launch_no_ui()
        elif mode == "--check":
            tester.prompt_test()
        elif mode == "--unit-tests":
            corvala4.register_unit_test("moment of a simple beam", unit_test_moment)
            tester.unit_test_launch()
        else:
            tester.launch()
    except corvala4.Error as e:
        print(f"beamcalc_py: {e}", file=sys.stderr)
        return 1
    if mode != "--quiet":
        return 0
    if not summary:
        print("summary: no case was run (see the module's log, libcorvala4.log beside libcorvala4.so)")
        return 1
    s = summary
    ok = s["mandatory_passed"] == s["mandatory"]
    print(f"summary: {s['cases']} cases, {s['passed']} passed, {s['cases'] - s['passed']} not passed "
          f"({s['failed']} of them failed to calculate); "
          f"mandatory {s['mandatory_passed']} of {s['mandatory']} "
          f"passed: {'this build is correct' if ok else 'this build is NOT correct'}")
    return 0 if ok else 1


def unit_test_moment():
    _, _, Mmax, _ = solve(dict(support="simple", L=8.0, q=5.0, P=0.0, a=0.0))
    assert Mmax == 40.0, f"qL²/8 of L=8 m, q=5 kN/m should be 40 kN·m, not {Mmax}"


def main(argv):
    if len(argv) == 2 and argv[1] in ("--quiet", "--check", "--launch", "--unit-tests"):
        return test(argv[1])
    if len(argv) != 3:
        print(__doc__.strip().split("\n\n", 1)[1], file=sys.stderr)
        return 2
    try:
        folder = os.path.dirname(argv[1]) or "."
        for name in calculate(argv[1], int(argv[2]), folder):
            print(os.path.join(folder, name))
        return 0
    except (InputError, ValueError) as e:
        print(f"beamcalc_py: {e}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
