! A Fortran host's events through the module: a DoTest that returns a failing status and
! one that sets Success false end only their own case; a bad HostEXE leaves its error.
! usage: fortran_events_test FOLDER (an empty folder for the test data)
module fortran_events
  use corvala4
  implicit none
  integer :: calculated = 0
contains
  integer function do_test(tc) result(status)
    type(c4_case), intent(in) :: tc
    integer :: u
    character(len=:), allocatable :: caption
    calculated = calculated + 1
    open (newunit=u, file=c4_case_test_case_folder(tc) // "/r.out", status='replace', action='write')
    write (u, '(A)') "ok"
    close (u)
    caption = c4_case_caption(tc)
    status = 0
    if (caption == "A") then
      call c4_fail_reason("the solver diverged")
      status = 7
    else if (caption == "B") then
      status = c4_case_set_success(tc, .false.)
    end if
  end function
end module fortran_events

program fortran_events_test
  use corvala4
  use fortran_events
  implicit none
  character(len=4096) :: dir
  character(len=:), allocatable :: host, description, source
  type(c4_tester) :: tester
  integer :: failures = 0, number, u
  logical :: there

  call get_command_argument(1, dir)
  host = trim(dir) // "/calc"
  open (newunit=u, file=host, status='replace', action='write')
  write (u, '(A)') "binary"
  close (u)
  call define_case("A", "y")
  call define_case("B", "n")
  call define_case("C", "n")
  open (newunit=u, file=trim(dir) // "/CALC_TEST_DAT.TXT", status='replace', action='write')
  write (u, '(A)') "TestData;"
  write (u, '(A)') "A,A,p.prj,y,1,r.out;"
  write (u, '(A)') "B,B,p.prj,n,1,r.out;"
  write (u, '(A)') "C,C,p.prj,n,1,r.out;"
  close (u)

  call check(c4_tester_new(tester) == C4_OK, "a new tester")
  call check(c4_tester_set_host_exe(tester, host) == C4_OK, "HostEXE set")
  call check(c4_tester_host_exe(tester) == host, "HostEXE read back")
  call check(c4_tester_subscribe(tester, do_test=do_test) == C4_OK, "DoTest subscribed")
  call check(c4_tester_launch_no_ui(tester) == C4_OK, "the quiet run")
  call check(calculated == 3, "every case calculated")
  call check(.not. marker("A"), "A, whose DoTest failed, has not passed")
  call check(.not. marker("B"), "B, which set Success false, has not passed")
  call check(marker("C"), "C has passed")
  inquire (file=trim(dir) // "/calc_Test_Ver.txt", exist=there)
  call check(.not. there, "the build is not recorded")

  call check(c4_tester_set_host_exe(tester, trim(dir) // "/gone/calc") == C4_OK, "a bad HostEXE set")
  call check(c4_tester_launch_no_ui(tester) == C4_E_FAILED, "the run with a bad HostEXE fails")
  call c4_tester_last_error(tester, number, description, source)
  call check(number /= 0 .and. index(description, "gone") > 0, "its error names the folder: " // description)
  call c4_tester_free(tester)
  call check(len(c4_version()) > 0, "the version")
  ! A main program's variables live to its end: given back, so that a leak check sees none.
  deallocate (host, description, source)

  if (failures > 0) call exit(1)

contains

  subroutine define_case(name, mandatory)
    character(len=*), intent(in) :: name, mandatory
    call execute_command_line("mkdir -p '" // trim(dir) // "/TestData/" // name // "'")
    open (newunit=u, file=trim(dir) // "/TestData/" // name // "/p.prj", status='replace', action='write')
    close (u)
    open (newunit=u, file=trim(dir) // "/TestData/" // name // "/r.out", status='replace', action='write')
    write (u, '(A)') "ok"
    close (u)
    if (mandatory /= "y" .and. mandatory /= "n") stop 2
  end subroutine

  logical function marker(name)
    character(len=*), intent(in) :: name
    inquire (file=trim(dir) // "/TestData/" // name // "/calc_p_1_Passed.txt", exist=marker)
  end function

  subroutine check(ok, what)
    logical, intent(in) :: ok
    character(len=*), intent(in) :: what
    if (ok) return
    write (0, '(A)') "FAILED: " // what
    failures = failures + 1
  end subroutine

end program fortran_events_test
