! Corvala4 for hosts in Fortran: `use corvala4`, create a tester, name the executable,
! subscribe a DoTest procedure and call one entry operation. Over the C interface
! (corvala4_c.h); every function that can fail returns its status (C4_OK = 0).
module corvala4
  use, intrinsic :: iso_c_binding
  implicit none
  private

  integer, parameter, public :: C4_OK = 0, C4_E_FAILED = -1, C4_E_RUNNING = -2, C4_E_ARGUMENT = -3, &
                                C4_E_MEMORY = -4

  type, public :: c4_tester
    type(c_ptr) :: h = c_null_ptr
  end type
  type, public :: c4_case
    type(c_ptr) :: h = c_null_ptr
  end type
  type, public :: c4_cases
    type(c_ptr) :: h = c_null_ptr
  end type

  abstract interface
    ! An event about one case: return 0, or a nonzero status that fails it.
    integer function c4_case_handler(tc)
      import :: c4_case
      type(c4_case), intent(in) :: tc
    end function
    integer function c4_cases_handler(oc)
      import :: c4_cases
      type(c4_cases), intent(in) :: oc
    end function
    subroutine c4_line_handler(line)
      character(len=*), intent(in) :: line
    end subroutine
  end interface
  public :: c4_case_handler, c4_cases_handler, c4_line_handler

  public :: c4_version, c4_tester_new, c4_tester_free, c4_tester_set_host_exe, c4_tester_host_exe
  public :: c4_tester_launch_no_ui, c4_tester_launch, c4_tester_prompt_test, c4_tester_unit_test_launch
  public :: c4_tester_last_error, c4_tester_subscribe, c4_tester_unsubscribe, c4_fail_reason
  public :: c4_tester_test_cases, c4_cases_count, c4_cases_item, c4_cases_free, c4_case_free
  public :: c4_case_caption, c4_case_project_file, c4_case_test_case_folder, c4_case_func_num
  public :: c4_case_success, c4_case_set_success, c4_case_mandatory, c4_case_passed

  ! The procedures of one subscription, found again from the callback's user pointer.
  type :: handlers
    procedure(c4_case_handler), pointer, nopass :: do_test => null()
    procedure(c4_cases_handler), pointer, nopass :: after_all_test => null()
    procedure(c4_line_handler), pointer, nopass :: progress => null()
  end type
  type(handlers), allocatable, target, save :: registry(:)

  type, bind(C) :: c_events
    type(c_ptr) :: user
    type(c_funptr) :: check_cancel, before_all_test, before_one_test, do_test, after_one_test, after_all_test
  end type
  type, bind(C) :: c_progress
    type(c_ptr) :: user
    type(c_funptr) :: add_msg, clear
  end type

  interface
    function strlen(s) bind(C, name="strlen")
      import :: c_ptr, c_size_t
      type(c_ptr), value :: s
      integer(c_size_t) :: strlen
    end function
    function c_version_text() bind(C, name="c4_version_text")
      import :: c_ptr
      type(c_ptr) :: c_version_text
    end function
    integer(c_int) function c_tester_new(t) bind(C, name="c4_tester_new")
      import :: c_ptr, c_int
      type(c_ptr) :: t
    end function
    subroutine c_tester_free(t) bind(C, name="c4_tester_free")
      import :: c_ptr
      type(c_ptr), value :: t
    end subroutine
    integer(c_int) function c_tester_set_host_exe(t, path) bind(C, name="c4_tester_set_host_exe")
      import :: c_ptr, c_int, c_char
      type(c_ptr), value :: t
      character(kind=c_char), dimension(*) :: path
    end function
    integer(c_int) function c_tester_text(t, text) bind(C)
      import :: c_ptr, c_int
      type(c_ptr), value :: t
      type(c_ptr) :: text
    end function
    integer(c_int) function c_tester_op(t) bind(C)
      import :: c_ptr, c_int
      type(c_ptr), value :: t
    end function
    integer(c_int) function c_last_error(t, number, source, description) bind(C, name="c4_tester_last_error")
      import :: c_ptr, c_int, c_int32_t
      type(c_ptr), value :: t
      integer(c_int32_t) :: number
      type(c_ptr) :: source, description
    end function
    integer(c_int) function c_subscribe(t, events, id) bind(C, name="c4_tester_subscribe")
      import :: c_ptr, c_int, c_events
      type(c_ptr), value :: t
      type(c_events), intent(in) :: events
      integer(c_int) :: id
    end function
    integer(c_int) function c_subscribe_progress(t, progress, id) bind(C, name="c4_tester_subscribe_progress")
      import :: c_ptr, c_int, c_progress
      type(c_ptr), value :: t
      type(c_progress), intent(in) :: progress
      integer(c_int) :: id
    end function
    integer(c_int) function c_unsubscribe(t, id) bind(C, name="c4_tester_unsubscribe")
      import :: c_ptr, c_int
      type(c_ptr), value :: t
      integer(c_int), value :: id
    end function
    subroutine c_fail_reason(text) bind(C, name="c4_fail_reason")
      import :: c_char
      character(kind=c_char), dimension(*) :: text
    end subroutine
    integer(c_int) function c_test_cases(t, oc) bind(C, name="c4_tester_test_cases")
      import :: c_ptr, c_int
      type(c_ptr), value :: t
      type(c_ptr) :: oc
    end function
    integer(c_int) function c_cases_count(oc, n) bind(C, name="c4_cases_count")
      import :: c_ptr, c_int, c_int32_t
      type(c_ptr), value :: oc
      integer(c_int32_t) :: n
    end function
    integer(c_int) function c_cases_item(oc, i, tc) bind(C, name="c4_cases_item")
      import :: c_ptr, c_int, c_int32_t
      type(c_ptr), value :: oc
      integer(c_int32_t), value :: i
      type(c_ptr) :: tc
    end function
    subroutine c_free(p) bind(C)
      import :: c_ptr
      type(c_ptr), value :: p
    end subroutine
    integer(c_int) function c_case_int(tc, value) bind(C)
      import :: c_ptr, c_int
      type(c_ptr), value :: tc
      integer(c_int) :: value
    end function
    integer(c_int) function c_case_func_num(tc, value) bind(C, name="c4_case_func_num")
      import :: c_ptr, c_int, c_int16_t
      type(c_ptr), value :: tc
      integer(c_int16_t) :: value
    end function
    integer(c_int) function c_case_set_success(tc, value) bind(C, name="c4_case_set_success")
      import :: c_ptr, c_int
      type(c_ptr), value :: tc
      integer(c_int), value :: value
    end function
  end interface

  ! One C function each, through the generic interfaces above.
  procedure(c_tester_text), bind(C, name="c4_tester_host_exe") :: c_host_exe
  procedure(c_tester_op), bind(C, name="c4_tester_launch_no_ui") :: c_launch_no_ui
  procedure(c_tester_op), bind(C, name="c4_tester_launch") :: c_launch
  procedure(c_tester_op), bind(C, name="c4_tester_prompt_test") :: c_prompt_test
  procedure(c_tester_op), bind(C, name="c4_tester_unit_test_launch") :: c_unit_test_launch
  procedure(c_free), bind(C, name="c4_cases_free") :: c_cases_free
  procedure(c_free), bind(C, name="c4_case_free") :: c_case_free
  procedure(c_tester_text), bind(C, name="c4_case_caption") :: c_case_caption
  procedure(c_tester_text), bind(C, name="c4_case_project_file") :: c_case_project_file
  procedure(c_tester_text), bind(C, name="c4_case_test_case_folder") :: c_case_test_case_folder
  procedure(c_case_int), bind(C, name="c4_case_success") :: c_case_success
  procedure(c_case_int), bind(C, name="c4_case_mandatory") :: c_case_mandatory
  procedure(c_case_int), bind(C, name="c4_case_passed") :: c_case_passed

contains

  ! A NUL-terminated C text as a Fortran string.
  function f_text(p) result(s)
    type(c_ptr), intent(in) :: p
    character(len=:), allocatable :: s
    character(kind=c_char), pointer :: chars(:)
    integer :: i, n
    if (.not. c_associated(p)) then
      s = ""
      return
    end if
    n = int(strlen(p))
    call c_f_pointer(p, chars, [n])
    allocate(character(len=n) :: s)
    do i = 1, n
      s(i:i) = chars(i)
    end do
  end function

  function c4_version() result(s)
    character(len=:), allocatable :: s
    s = f_text(c_version_text())
  end function

  integer function c4_tester_new(t) result(status)
    type(c4_tester), intent(out) :: t
    status = c_tester_new(t%h)
  end function

  subroutine c4_tester_free(t)
    type(c4_tester), intent(inout) :: t
    call c_tester_free(t%h)
    t%h = c_null_ptr
  end subroutine

  integer function c4_tester_set_host_exe(t, path) result(status)
    type(c4_tester), intent(in) :: t
    character(len=*), intent(in) :: path
    status = c_tester_set_host_exe(t%h, path // c_null_char)
  end function

  function c4_tester_host_exe(t) result(s)
    type(c4_tester), intent(in) :: t
    character(len=:), allocatable :: s
    type(c_ptr) :: p
    p = c_null_ptr
    if (c_host_exe(t%h, p) /= C4_OK) p = c_null_ptr
    s = f_text(p)
  end function

  integer function c4_tester_launch_no_ui(t) result(status)
    type(c4_tester), intent(in) :: t
    status = c_launch_no_ui(t%h)
  end function

  integer function c4_tester_launch(t) result(status)
    type(c4_tester), intent(in) :: t
    status = c_launch(t%h)
  end function

  integer function c4_tester_prompt_test(t) result(status)
    type(c4_tester), intent(in) :: t
    status = c_prompt_test(t%h)
  end function

  integer function c4_tester_unit_test_launch(t) result(status)
    type(c4_tester), intent(in) :: t
    status = c_unit_test_launch(t%h)
  end function

  ! The last error of the tester: its number and description (and source).
  subroutine c4_tester_last_error(t, number, description, source)
    type(c4_tester), intent(in) :: t
    integer, intent(out) :: number
    character(len=:), allocatable, intent(out) :: description
    character(len=:), allocatable, intent(out), optional :: source
    integer(c_int32_t) :: n
    type(c_ptr) :: s, d
    integer :: status
    status = c_last_error(t%h, n, s, d)
    number = int(n)
    description = f_text(d)
    if (present(source)) source = f_text(s)
  end subroutine

  ! Subscribes the procedures given; id names the subscription for c4_tester_unsubscribe.
  integer function c4_tester_subscribe(t, do_test, after_all_test, progress, id) result(status)
    type(c4_tester), intent(in) :: t
    procedure(c4_case_handler), optional :: do_test
    procedure(c4_cases_handler), optional :: after_all_test
    procedure(c4_line_handler), optional :: progress
    integer, intent(out), optional :: id
    type(handlers), allocatable :: grown(:)
    type(c_events) :: events
    type(c_progress) :: lines
    integer :: k
    integer(c_int) :: given, progress_id
    if (.not. allocated(registry)) allocate(registry(0))
    allocate(grown(size(registry) + 1))
    grown(1:size(registry)) = registry
    call move_alloc(grown, registry)
    k = size(registry)
    if (present(do_test)) registry(k)%do_test => do_test
    if (present(after_all_test)) registry(k)%after_all_test => after_all_test
    events = c_events(user_of(k), c_null_funptr, c_null_funptr, c_null_funptr, c_null_funptr, &
                      c_null_funptr, c_null_funptr)
    if (present(do_test)) events%do_test = c_funloc(on_do_test)
    if (present(after_all_test)) events%after_all_test = c_funloc(on_after_all_test)
    status = c_subscribe(t%h, events, given)
    if (status == C4_OK .and. present(progress)) then
      registry(k)%progress => progress
      lines = c_progress(user_of(k), c_funloc(on_add_msg), c_null_funptr)
      status = c_subscribe_progress(t%h, lines, progress_id)
    end if
    if (present(id)) id = int(given)
  end function

  integer function c4_tester_unsubscribe(t, id) result(status)
    type(c4_tester), intent(in) :: t
    integer, intent(in) :: id
    status = c_unsubscribe(t%h, int(id, c_int))
  end function

  ! The description of the failure a handler is about to return.
  subroutine c4_fail_reason(text)
    character(len=*), intent(in) :: text
    call c_fail_reason(text // c_null_char)
  end subroutine

  integer function c4_tester_test_cases(t, oc) result(status)
    type(c4_tester), intent(in) :: t
    type(c4_cases), intent(out) :: oc
    status = c_test_cases(t%h, oc%h)
  end function

  integer function c4_cases_count(oc) result(n)
    type(c4_cases), intent(in) :: oc
    integer(c_int32_t) :: count
    count = 0
    if (c_cases_count(oc%h, count) /= C4_OK) count = 0
    n = int(count)
  end function

  ! The case at a 1-based position; free it with c4_case_free.
  integer function c4_cases_item(oc, i, tc) result(status)
    type(c4_cases), intent(in) :: oc
    integer, intent(in) :: i
    type(c4_case), intent(out) :: tc
    status = c_cases_item(oc%h, int(i, c_int32_t), tc%h)
  end function

  subroutine c4_cases_free(oc)
    type(c4_cases), intent(inout) :: oc
    call c_cases_free(oc%h)
    oc%h = c_null_ptr
  end subroutine

  subroutine c4_case_free(tc)
    type(c4_case), intent(inout) :: tc
    call c_case_free(tc%h)
    tc%h = c_null_ptr
  end subroutine

  function c4_case_caption(tc) result(s)
    type(c4_case), intent(in) :: tc
    character(len=:), allocatable :: s
    s = case_text(tc, 1)
  end function

  ! The project file in the working folder ("" outside an entry operation).
  function c4_case_project_file(tc) result(s)
    type(c4_case), intent(in) :: tc
    character(len=:), allocatable :: s
    s = case_text(tc, 2)
  end function

  ! The working folder, where the outputs must be written.
  function c4_case_test_case_folder(tc) result(s)
    type(c4_case), intent(in) :: tc
    character(len=:), allocatable :: s
    s = case_text(tc, 3)
  end function

  function case_text(tc, which) result(s)
    type(c4_case), intent(in) :: tc
    integer, intent(in) :: which
    character(len=:), allocatable :: s
    type(c_ptr) :: p
    integer :: status
    p = c_null_ptr
    select case (which)
    case (1)
      status = c_case_caption(tc%h, p)
    case (2)
      status = c_case_project_file(tc%h, p)
    case default
      status = c_case_test_case_folder(tc%h, p)
    end select
    if (status /= C4_OK) p = c_null_ptr
    s = f_text(p)
  end function

  ! The function code (0 when it cannot be read).
  integer function c4_case_func_num(tc) result(n)
    type(c4_case), intent(in) :: tc
    integer(c_int16_t) :: value
    value = 0
    if (c_case_func_num(tc%h, value) /= C4_OK) value = 0
    n = int(value)
  end function

  logical function c4_case_success(tc)
    type(c4_case), intent(in) :: tc
    c4_case_success = case_flag(c_case_success, tc)
  end function

  logical function c4_case_mandatory(tc)
    type(c4_case), intent(in) :: tc
    c4_case_mandatory = case_flag(c_case_mandatory, tc)
  end function

  logical function c4_case_passed(tc)
    type(c4_case), intent(in) :: tc
    c4_case_passed = case_flag(c_case_passed, tc)
  end function

  logical function case_flag(getter, tc)
    procedure(c_case_int) :: getter
    type(c4_case), intent(in) :: tc
    integer(c_int) :: value
    value = 0
    if (getter(tc%h, value) /= C4_OK) value = 0
    case_flag = value /= 0
  end function

  integer function c4_case_set_success(tc, success) result(status)
    type(c4_case), intent(in) :: tc
    logical, intent(in) :: success
    status = c_case_set_success(tc%h, merge(1_c_int, 0_c_int, success))
  end function

  ! The callbacks' user pointer carries the subscription's position in the registry.
  type(c_ptr) function user_of(k)
    integer, intent(in) :: k
    user_of = transfer(int(k, c_intptr_t), c_null_ptr)
  end function

  integer function index_of(user)
    type(c_ptr), value :: user
    index_of = int(transfer(user, 0_c_intptr_t))
  end function

  integer(c_int) function on_do_test(user, tc) bind(C)
    type(c_ptr), value :: user, tc
    on_do_test = int(registry(index_of(user))%do_test(c4_case(tc)), c_int)
  end function

  integer(c_int) function on_after_all_test(user, oc) bind(C)
    type(c_ptr), value :: user, oc
    on_after_all_test = int(registry(index_of(user))%after_all_test(c4_cases(oc)), c_int)
  end function

  subroutine on_add_msg(user, line) bind(C)
    type(c_ptr), value :: user, line
    call registry(index_of(user))%progress(f_text(line))
  end subroutine

end module corvala4
