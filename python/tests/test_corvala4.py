"""The Python host's view of the module: runs, failures of its handlers, errors, windows."""

import os
import subprocess
import sys

import pytest

import corvala4


@pytest.fixture
def host(tmp_path, monkeypatch):
    """A host executable beside a definition file; define(...) writes cases ("!" mandatory)."""
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))
    monkeypatch.setenv("XDG_STATE_HOME", str(tmp_path / "state"))
    exe = tmp_path / "calc"
    exe.write_text("binary")

    def define(*entries):
        cases = ""
        for entry in entries:
            caption, mandatory = entry.rstrip("!"), entry.endswith("!")
            folder = tmp_path / "TestData" / caption
            folder.mkdir(parents=True)
            (folder / "p.prj").write_text("")
            (folder / "r.out").write_text("ok\n")
            cases += (f'<自测试算例 名称="{caption}" 目录="{caption}" 工程文件="p.prj" 必测="{"y" if mandatory else "n"}" '
                      f'功能代号="1"><输出文件 保留="n">r.out</输出文件></自测试算例>')
        (tmp_path / "CALC_TEST_DAT.XML").write_text(
            f"<自测试配置><自测试标准目录>TestData</自测试标准目录>{cases}</自测试配置>", encoding="utf-8")

    define.exe = exe
    define.dir = tmp_path
    define.marker = lambda caption: (tmp_path / "TestData" / caption / "calc_p_1_Passed.txt").exists()
    record = tmp_path / "calc_Test_Ver.txt"
    define.record = lambda: record.read_text() if record.exists() else ""
    return define


def calculate(case):
    with open(os.path.join(case.test_case_folder, "r.out"), "w") as out:
        out.write("ok\n")


def test_a_quiet_run_calls_the_handlers_and_records_the_build(host):
    host("A!", "B")
    tester = corvala4.Tester(host_exe=host.exe)
    seen, lines = [], []
    tester.on_before_all_test = lambda cases: seen.append(("before all", [c.caption for c in cases]))
    tester.on_do_test = lambda case: (seen.append(("do", case.caption, case.func_num,
                                                   tester.active_case.caption, len(tester.selected_cases))),
                                      calculate(case))
    tester.on_after_all_test = lambda cases: seen.append(("after all",
                                                          [(c.caption, c.passed) for c in cases]))
    tester.on_progress = lines.append
    tester.launch_no_ui()
    assert seen == [("before all", ["A", "B"]), ("do", "A", 1, "A", 2), ("do", "B", 1, "B", 2),
                    ("after all", [("A", True), ("B", True)])]
    assert "[1/2]开始测试算例'A' ..." in lines
    assert host.record().count("\n") == 1
    assert str(host.exe) in host.record()
    # Outside the run: nothing selected or active, the collection empty again.
    assert tester.selected_cases is None and tester.active_case is None
    assert len(tester.test_cases) == 0 and list(tester.test_cases) == []
    assert tester.host_exe == str(host.exe)
    assert corvala4.__version__.count(".") == 2


def test_a_failing_handler_ends_only_its_case(host):
    host("A!", "B", "C")
    tester = corvala4.Tester(host_exe=host.exe)
    tester.on_do_test = calculate
    tester.launch_no_ui()
    assert host.marker("A") and host.record().count("\n") == 1

    def do_test(case):
        calculate(case)
        if case.caption == "A":
            raise RuntimeError("the solver diverged")
        if case.caption == "B":
            case.success = False
    tester.on_do_test = do_test
    kept = []
    tester.on_after_one_test = lambda case: kept.append((case.caption, case.success, case.passed))
    tester.launch_no_ui()
    # A's calculation failed: no AfterOneTest, no pass (the earlier one removed), no new record.
    assert kept == [("B", False, False), ("C", True, True)]
    assert not host.marker("A") and not host.marker("B") and host.marker("C")
    assert host.record().count("\n") == 1


def test_errors_carry_their_number_and_description(host):
    tester = corvala4.Tester(host_exe=host.dir / "gone" / "calc")
    with pytest.raises(corvala4.Error) as caught:
        tester.launch_no_ui()
    assert caught.value.number != 0
    assert "gone" in caught.value.description
    # A case kept beyond its run cannot reach its folders.
    host("A")
    tester.host_exe = host.exe
    cases = []
    tester.on_do_test = lambda case: (cases.append(case), calculate(case))
    tester.launch_no_ui()
    assert cases[0].caption == "A"
    with pytest.raises(corvala4.Error) as caught:
        cases[0].project_file
    assert caught.value.number == 91


def test_another_entry_operation_during_a_run_is_refused(host):
    host("A!")
    tester, other = corvala4.Tester(host_exe=host.exe), corvala4.Tester(host_exe=host.exe)
    refused = []

    def do_test(case):
        calculate(case)
        for t in (tester, other):
            with pytest.raises(corvala4.AlreadyRunning) as caught:
                t.launch_no_ui()
            refused.append(caught.value.description)
    tester.on_do_test = do_test
    tester.launch_no_ui()
    assert refused == ["测试已经在执行了!"] * 2
    assert host.marker("A")


def test_an_interrupt_cancels_the_rest_and_is_raised_after_the_run(host):
    host("A", "B")
    tester = corvala4.Tester(host_exe=host.exe)
    calculated = []

    def do_test(case):
        calculated.append(case.caption)
        raise KeyboardInterrupt
    tester.on_do_test = do_test
    with pytest.raises(KeyboardInterrupt):
        tester.launch_no_ui()
    assert calculated == ["A"]


def test_unit_tests_run_with_their_messages():
    corvala4.clear_unit_tests()

    def fails():
        raise AssertionError("qL²/8 should be 40")
    corvala4.register_unit_test("passes", lambda: None)
    corvala4.register_unit_test("fails", fails)
    assert corvala4.run_unit_tests() == [("passes", True, ""),
                                         ("fails", False, "AssertionError: qL²/8 should be 40")]
    corvala4.clear_unit_tests()
    assert corvala4.run_unit_tests() == []


# In a process of its own: the module settles on a user interface once, at its first use.
WINDOW_HOST = """
import ctypes, os, sys, threading
closer = ctypes.CDLL(os.environ["CORVALA4_WINDOW_CLOSER"])  # brings Qt, so the module shows windows
import corvala4
closed_by_thread = threading.Event()

def close_it():
    # Runs only while launch() has let go of the GIL.
    while closer.corvala4_test_close_modal_window() == 0:
        threading.Event().wait(0.05)
    closed_by_thread.set()

threading.Thread(target=close_it, daemon=True).start()
corvala4.Tester(host_exe=sys.argv[1]).launch()
sys.exit(0 if closed_by_thread.wait(60) else 1)
"""


@pytest.mark.skipif(not os.environ.get("CORVALA4_WINDOW_CLOSER"),
                    reason="needs the window closer of the tests")
def test_the_test_window_opens_and_closes_while_other_threads_run(host, monkeypatch):
    monkeypatch.setenv("QT_QPA_PLATFORM", "offscreen")
    host("A!")
    result = subprocess.run([sys.executable, "-c", WINDOW_HOST, str(host.exe)], capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
