"""Corvala4 for hosts in Python: a program tests its own build on its golden-file cases.

    import corvala4

    def do_test(case):
        calculate(case.project_file, case.func_num, case.test_case_folder)

    tester = corvala4.Tester(host_exe="/opt/calc/calc")
    tester.on_do_test = do_test      # an exception ends only its case, which does not pass
    tester.launch_no_ui()            # or launch() for the window, prompt_test() for the build check

Built on the module's C interface through cffi: every call into it releases the GIL, so
other threads run while a window waits, and each callback takes the GIL back.
"""

import os

from ._ffi import ffi, lib

__all__ = ["Error", "AlreadyRunning", "Tester", "TestCase", "TestCases", "register_unit_test",
           "clear_unit_tests", "run_unit_tests", "version", "__version__"]

version = ffi.string(lib.c4_version_text()).decode()
__version__ = version

C4_OK, C4_E_FAILED, C4_E_RUNNING, C4_E_ARGUMENT, C4_E_MEMORY = 0, -1, -2, -3, -4
CASE_FOLDER_MISSING_ERROR = -2147220991  # 0x80040201
CANCEL_ERROR = -2147220990               # 0x80040202


class Error(Exception):
    """A failure of the module, with its error number, source and description."""

    def __init__(self, number, source, description):
        super().__init__(f"{description} (error {number}, {source})" if source else
                         f"{description} (error {number})")
        self.number = number
        self.source = source
        self.description = description


class AlreadyRunning(Error):
    """Another entry operation was in progress (also of another tester): nothing was run."""


def _text(value):
    if isinstance(value, os.PathLike):
        value = os.fspath(value)
    if isinstance(value, str):
        return os.fsencode(value)
    return bytes(value)


def _string(pointer):
    return os.fsdecode(ffi.string(pointer)) if pointer != ffi.NULL else ""


def _raise(tester_handle, status):
    number, source, description = ffi.new("int32_t*"), ffi.new("char**"), ffi.new("char**")
    lib.c4_tester_last_error(tester_handle, number, source, description)
    kind = AlreadyRunning if status == C4_E_RUNNING else Error
    if status == C4_E_ARGUMENT:
        raise ValueError("a handle or a value the module needs is missing")
    if status == C4_E_MEMORY:
        raise MemoryError(_string(description[0]))
    raise kind(number[0], _string(source[0]), _string(description[0]))


def _fail(exc):
    """Hands a callback's exception to the module as the event's failure."""
    lib.c4_fail_reason(_text(f"{type(exc).__name__}: {exc}"))
    number = getattr(exc, "number", 0)
    return number if isinstance(number, int) and number != 0 else 1


class TestCase:
    """One case of the definition file."""

    __test__ = False  # not a pytest class

    def __init__(self, handle, owner):
        self._h = ffi.gc(handle, lib.c4_case_free)
        self._owner = owner  # the tester's handle, where the errors are kept

    def _check(self, status):
        if status != C4_OK:
            _raise(self._owner, status)

    def _text(self, getter):
        out = ffi.new("char**")
        self._check(getter(self._h, out))
        return _string(out[0])

    def _flag(self, getter):
        out = ffi.new("int*")
        self._check(getter(self._h, out))
        return bool(out[0])

    @property
    def success(self):
        """The host's verdict on its calculation; True until the host says otherwise."""
        return self._flag(lib.c4_case_success)

    @success.setter
    def success(self, value):
        self._check(lib.c4_case_set_success(self._h, 1 if value else 0))

    @property
    def caption(self):
        return self._text(lib.c4_case_caption)

    @property
    def project_file(self):
        """The project file in the working folder (error 91 outside an entry operation)."""
        return self._text(lib.c4_case_project_file)

    @property
    def project_file_name(self):
        return self._text(lib.c4_case_project_file_name)

    @property
    def func_num(self):
        out = ffi.new("int16_t*")
        self._check(lib.c4_case_func_num(self._h, out))
        return out[0]

    @property
    def test_case_folder(self):
        """The working folder, where the calculation writes its outputs."""
        return self._text(lib.c4_case_test_case_folder)

    @property
    def mandatory(self):
        return self._flag(lib.c4_case_mandatory)

    @property
    def passed(self):
        return self._flag(lib.c4_case_passed)

    def remove_test_folder(self):
        self._check(lib.c4_case_remove_test_folder(self._h))

    def __repr__(self):
        return f"<corvala4.TestCase {self.caption!r}>"


class TestCases:
    """An ordered collection of cases: len(), indexing from 0, iteration."""

    __test__ = False

    def __init__(self, handle, owner):
        self._h = ffi.gc(handle, lib.c4_cases_free)
        self._owner = owner

    def __len__(self):
        out = ffi.new("int32_t*")
        status = lib.c4_cases_count(self._h, out)
        if status != C4_OK:
            _raise(self._owner, status)
        return out[0]

    def __getitem__(self, index):
        count = len(self)
        if index < 0:
            index += count
        if not 0 <= index < count:
            raise IndexError("no case at this position")
        out = ffi.new("c4_case**")
        status = lib.c4_cases_item(self._h, index + 1, out)
        if status != C4_OK:
            _raise(self._owner, status)
        return TestCase(out[0], self._owner)

    def __iter__(self):
        for i in range(len(self)):
            yield self[i]


def _borrowed_case(handle, owner):
    copy = ffi.new("c4_case**")
    if lib.c4_case_dup(handle, copy) != C4_OK:
        _raise(owner, C4_E_FAILED)
    return TestCase(copy[0], owner)


def _borrowed_cases(handle, owner):
    # A collection handed to an event is the run's, which the tester also names.
    out = ffi.new("c4_cases**")
    lib.c4_tester_selected_cases(owner, out)
    return TestCases(out[0], owner) if out[0] != ffi.NULL else None


class Tester:
    """The object a host creates to test itself.

    Events are plain attributes: on_check_cancel() returns True to cancel, on_before_all_test(cases),
    on_before_one_test(case), on_do_test(case), on_after_one_test(case), on_after_all_test(cases),
    on_progress(line) and on_progress_clear(). An exception in one fails that event, as the run
    reports failures; in on_do_test it ends only its case, which is then not passed.
    """

    __test__ = False

    def __init__(self, host_exe=None):
        out = ffi.new("c4_tester**")
        status = lib.c4_tester_new(out)
        if status != C4_OK:
            _raise(ffi.NULL, status)
        self._h = ffi.gc(out[0], lib.c4_tester_free)
        self.on_check_cancel = None
        self.on_before_all_test = None
        self.on_before_one_test = None
        self.on_do_test = None
        self.on_after_one_test = None
        self.on_after_all_test = None
        self.on_progress = None
        self.on_progress_clear = None
        self._interrupt = None
        self._subscribe()
        if host_exe is not None:
            self.host_exe = host_exe

    def _check(self, status):
        if status != C4_OK:
            _raise(self._h, status)

    def _guarded(self, fn):
        """Runs a handler; its exception becomes the event's failure, an interrupt is kept for later."""
        try:
            fn()
            return 0
        except Exception as exc:  # noqa: BLE001 - every failure of a handler is the event's
            return _fail(exc)
        except BaseException as exc:  # KeyboardInterrupt, SystemExit: cancel the rest, raise after
            self._interrupt = exc
            return _fail(exc)

    def _subscribe(self):
        # The callbacks hold no reference to self, so the tester can be collected.
        import weakref
        ref = weakref.ref(self)
        h = self._h

        def call(attr, *args):
            tester = ref()
            handler = getattr(tester, attr, None) if tester else None
            if handler is None:
                return 0
            return tester._guarded(lambda: handler(*args))

        @ffi.callback("int(void*, int*)")
        def check_cancel(user, cancel):
            tester = ref()
            if tester is None:
                return 0
            if tester._interrupt is not None:
                cancel[0] = 1
                return 0
            if tester.on_check_cancel is None:
                return 0
            result = []
            status = tester._guarded(lambda: result.append(tester.on_check_cancel()))
            if result and result[0]:
                cancel[0] = 1
            return status

        @ffi.callback("int(void*, c4_cases*)")
        def before_all_test(user, oc):
            if not _wanted(ref, "on_before_all_test"):
                return 0
            return call("on_before_all_test", _borrowed_cases(oc, h))

        @ffi.callback("int(void*, c4_case*)")
        def before_one_test(user, tc):
            if not _wanted(ref, "on_before_one_test"):
                return 0
            return call("on_before_one_test", _borrowed_case(tc, h))

        @ffi.callback("int(void*, c4_case*)")
        def do_test(user, tc):
            if not _wanted(ref, "on_do_test"):
                return 0
            return call("on_do_test", _borrowed_case(tc, h))

        @ffi.callback("int(void*, c4_case*)")
        def after_one_test(user, tc):
            if not _wanted(ref, "on_after_one_test"):
                return 0
            return call("on_after_one_test", _borrowed_case(tc, h))

        @ffi.callback("int(void*, c4_cases*)")
        def after_all_test(user, oc):
            if not _wanted(ref, "on_after_all_test"):
                return 0
            return call("on_after_all_test", _borrowed_cases(oc, h))

        @ffi.callback("void(void*, const char*)")
        def add_msg(user, line):
            tester = ref()
            if tester is not None and tester.on_progress is not None:
                try:
                    tester.on_progress(_string(line))
                except Exception:  # noqa: BLE001 - a progress line must never end a run
                    pass

        @ffi.callback("void(void*)")
        def clear(user):
            tester = ref()
            if tester is not None and tester.on_progress_clear is not None:
                try:
                    tester.on_progress_clear()
                except Exception:  # noqa: BLE001
                    pass

        self._callbacks = (check_cancel, before_all_test, before_one_test, do_test, after_one_test,
                           after_all_test, add_msg, clear)
        events = ffi.new("c4_events*", {
            "user": ffi.NULL, "check_cancel": check_cancel, "before_all_test": before_all_test,
            "before_one_test": before_one_test, "do_test": do_test, "after_one_test": after_one_test,
            "after_all_test": after_all_test})
        self._check(lib.c4_tester_subscribe(h, events, ffi.NULL))
        progress = ffi.new("c4_progress*", {"user": ffi.NULL, "add_msg": add_msg, "clear": clear})
        self._check(lib.c4_tester_subscribe_progress(h, progress, ffi.NULL))

    @property
    def host_exe(self):
        """The full path of the host executable; its definition file lies beside it."""
        out = ffi.new("char**")
        self._check(lib.c4_tester_host_exe(self._h, out))
        return _string(out[0])

    @host_exe.setter
    def host_exe(self, path):
        self._check(lib.c4_tester_set_host_exe(self._h, _text(path)))

    @property
    def junit_report(self):
        """The JUnit XML file that launch_no_ui writes ("" for none)."""
        out = ffi.new("char**")
        self._check(lib.c4_tester_junit_report(self._h, out))
        return _string(out[0])

    @junit_report.setter
    def junit_report(self, path):
        self._check(lib.c4_tester_set_junit_report(self._h, _text(path or "")))

    def _entry(self, operation):
        self._interrupt = None
        status = operation(self._h)
        interrupt, self._interrupt = self._interrupt, None
        if interrupt is not None:
            raise interrupt
        self._check(status)

    def launch_no_ui(self):
        """Runs every case without any window; messages go to the module's log."""
        self._entry(lib.c4_tester_launch_no_ui)

    def launch(self):
        """Opens the test window and returns when it closes."""
        self._entry(lib.c4_tester_launch)

    def prompt_test(self):
        """Asks the user to test when this build has not yet passed every mandatory case."""
        self._entry(lib.c4_tester_prompt_test)

    def unit_test_launch(self):
        """Opens the unit-runner form with the registered unit tests."""
        self._entry(lib.c4_tester_unit_test_launch)

    @property
    def test_cases(self):
        """Every case of the definition file; empty outside an entry operation."""
        out = ffi.new("c4_cases**")
        self._check(lib.c4_tester_test_cases(self._h, out))
        return TestCases(out[0], self._h)

    @property
    def selected_cases(self):
        """The cases of the run in progress, or None."""
        out = ffi.new("c4_cases**")
        self._check(lib.c4_tester_selected_cases(self._h, out))
        return TestCases(out[0], self._h) if out[0] != ffi.NULL else None

    @property
    def active_case(self):
        """The case being run, or None."""
        out = ffi.new("c4_case**")
        self._check(lib.c4_tester_active_case(self._h, out))
        return TestCase(out[0], self._h) if out[0] != ffi.NULL else None


def _wanted(ref, attr):
    tester = ref()
    return tester is not None and getattr(tester, attr) is not None


_unit_tests = []  # keeps the callbacks alive as long as the module may call them


def register_unit_test(name, fn):
    """Registers a unit test for the unit-runner form: it passes when fn returns."""
    @ffi.callback("int(void*)")
    def run(user):
        try:
            fn()
            return 0
        except BaseException as exc:  # noqa: BLE001 - a unit test fails with whatever it raised
            return _fail(exc)
    status = lib.c4_register_unit_test(_text(name), run, ffi.NULL)
    if status != C4_OK:
        _raise(ffi.NULL, status)
    _unit_tests.append(run)


def clear_unit_tests():
    lib.c4_clear_unit_tests()
    _unit_tests.clear()


def run_unit_tests():
    """Runs every registered unit test without a window: a list of (name, passed, message)."""
    results = []
    passed, name, message = ffi.new("int*"), ffi.new("char**"), ffi.new("char**")
    for i in range(lib.c4_unit_test_count()):
        status = lib.c4_run_unit_test(i, passed, name, message)
        if status != C4_OK:
            _raise(ffi.NULL, status)
        results.append((_string(name[0]), bool(passed[0]), _string(message[0])))
    return results
