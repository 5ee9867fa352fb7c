! BeamCalc as a Fortran host: the same calculation, data and cases as the C++ one.
!
!   beamcalc_f PROJECT.prj FUNC   calculate a project (1 forces, 2 deflections, 3 sections, 4 both)
!   beamcalc_f --quiet            run every test case without any window
!   beamcalc_f --check            ask for the tests when this build has not passed
!   beamcalc_f --launch           open the test window
module beamcalc_host
  use corvala4
  use beam_calc, only: calculate
  implicit none
  integer :: cases = 0, passed = 0, failed = 0, mandatory = 0, mandatory_passed = 0
  logical :: ran = .false.

contains

  ! Calculates one case in its working folder; a failed calculation fails the event.
  integer function do_test(tc) result(status)
    type(c4_case), intent(in) :: tc
    character(len=:), allocatable :: error
    call calculate(c4_case_project_file(tc), c4_case_func_num(tc), c4_case_test_case_folder(tc), error)
    status = 0
    if (len(error) > 0) then
      write (0, '(A)') "beamcalc_f: " // error
      call c4_fail_reason(error)
      status = 1
    end if
  end function

  ! Counts the run's cases for the summary.
  integer function after_all_test(oc) result(status)
    type(c4_cases), intent(in) :: oc
    type(c4_case) :: tc
    integer :: i
    logical :: ok
    ran = .true.
    cases = 0; passed = 0; failed = 0; mandatory = 0; mandatory_passed = 0
    status = 0
    do i = 1, c4_cases_count(oc)
      status = c4_cases_item(oc, i, tc)
      if (status /= C4_OK) return
      ok = c4_case_success(tc) .and. c4_case_passed(tc)
      cases = cases + 1
      if (ok) passed = passed + 1
      if (.not. c4_case_success(tc)) failed = failed + 1
      if (c4_case_mandatory(tc)) then
        mandatory = mandatory + 1
        if (ok) mandatory_passed = mandatory_passed + 1
      end if
      call c4_case_free(tc)
    end do
  end function

  subroutine show_line(line)
    character(len=*), intent(in) :: line
    write (*, '(A)') line
    flush (6)
  end subroutine

end module beamcalc_host

program beamcalc_f
  use, intrinsic :: iso_c_binding
  use corvala4
  use beamcalc_host
  use beam_calc, only: calculate
  implicit none
  character(len=4096) :: self, arg1, arg2
  character(len=:), allocatable :: error, description
  type(c4_tester) :: tester
  integer :: status, func, number, ios, slash

  call get_command_argument(0, self)
  call get_command_argument(1, arg1)
  call get_command_argument(2, arg2)
  ! The executable's own path, which the definition file lies beside.
  call executable_path(self)

  if (command_argument_count() == 1 .and. &
      (arg1 == "--quiet" .or. arg1 == "--check" .or. arg1 == "--launch")) then
    status = c4_tester_new(tester)
    if (status == C4_OK) status = c4_tester_set_host_exe(tester, trim(self))
    if (status == C4_OK) &
      status = c4_tester_subscribe(tester, do_test=do_test, after_all_test=after_all_test, progress=show_line)
    if (status == C4_OK) then
      select case (trim(arg1))
      case ("--quiet")
        status = c4_tester_launch_no_ui(tester)
      case ("--check")
        status = c4_tester_prompt_test(tester)
      case default
        status = c4_tester_launch(tester)
      end select
    end if
    if (status /= C4_OK) then
      call c4_tester_last_error(tester, number, description)
      write (0, '(A,I0,A)') "beamcalc_f: error ", number, ": " // description
    end if
    call c4_tester_free(tester)
    if (arg1 /= "--quiet") call exit(merge(0, 1, status == C4_OK))
    if (.not. ran) then
      write (*, '(A)') "summary: no case was run " // &
        "(see the module's log, libcorvala4.log beside libcorvala4.so)"
      call exit(1)
    end if
    write (*, '(A,I0,A,I0,A,I0,A,I0,A,I0,A,I0,A)') "summary: ", cases, " cases, ", passed, " passed, ", &
      cases - passed, " not passed (", failed, " of them failed to calculate); mandatory ", &
      mandatory_passed, &
      " of ", mandatory, " passed: " // trim(merge("this build is correct    ", "this build is NOT correct", &
                                                   mandatory_passed == mandatory))
    call exit(merge(0, 1, mandatory_passed == mandatory))
  end if

  if (command_argument_count() /= 2) then
    write (0, '(A)') "usage: beamcalc_f PROJECT.prj FUNC   (FUNC 1 forces, 2 deflections, 3 sections, 4 both)"
    write (0, '(A)') "       beamcalc_f --quiet | --check | --launch"
    call exit(2)
  end if
  read (arg2, *, iostat=ios) func
  if (ios /= 0) func = 0
  slash = index(arg1, '/', back=.true.)
  if (slash > 0) then
    call calculate(trim(arg1), func, arg1(1:slash - 1), error)
  else
    call calculate(trim(arg1), func, ".", error)
  end if
  if (len(error) > 0) then
    write (0, '(A)') "beamcalc_f: " // error
    call exit(1)
  end if

contains

  subroutine executable_path(path)
    character(len=*), intent(inout) :: path
    interface
      function readlink(name, buf, size) bind(C, name="readlink")
        use, intrinsic :: iso_c_binding
        character(kind=c_char), dimension(*) :: name, buf
        integer(c_size_t), value :: size
        integer(c_intptr_t) :: readlink
      end function
    end interface
    character(kind=c_char) :: buf(4096)
    integer(c_intptr_t) :: n
    integer :: i
    n = readlink("/proc/self/exe" // c_null_char, buf, int(size(buf) - 1, c_size_t))
    if (n <= 0) return
    path = ""
    do i = 1, int(n)
      path(i:i) = buf(i)
    end do
  end subroutine

end program beamcalc_f
