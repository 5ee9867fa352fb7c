! BeamCalc's calculation in Fortran: the same project files, the same result files.
module beam_calc
  implicit none
  private
  public :: calculate, midspan_moment

  integer, parameter :: dp = kind(1.0d0), max_items = 32

  type :: section
    character(len=64) :: name = "", shape = ""
    real(dp) :: b = 0, h = 0, tw = 0, tf = 0
  end type
  type :: beam
    character(len=64) :: name = "", support = "", section = ""
    real(dp) :: L = 0, q = 0, P = 0, a = 0
  end type
  type :: project
    character(len=256) :: title = ""
    type(section) :: sections(max_items)
    type(beam) :: beams(max_items)
    integer :: n_sections = 0, n_beams = 0
  end type

contains

  real(dp) function midspan_moment(L, q)
    real(dp), intent(in) :: L, q
    midspan_moment = q * L * L / 8
  end function

  ! Splits a line into words separated by blanks and tabs.
  subroutine split(line, words, n)
    character(len=*), intent(in) :: line
    character(len=64), intent(out) :: words(:)
    integer, intent(out) :: n
    integer :: i, start
    n = 0
    start = 0
    do i = 1, len_trim(line) + 1
      if (i <= len_trim(line) .and. line(i:i) /= ' ' .and. line(i:i) /= achar(9)) then
        if (start == 0) start = i
      else if (start > 0) then
        if (n < size(words)) n = n + 1
        words(n) = line(start:i - 1)
        start = 0
      end if
    end do
  end subroutine

  ! The value of key=number among the words: fallback when absent, bad on a word that is no number.
  subroutine value_of(words, n, key, fallback, v, bad)
    character(len=64), intent(in) :: words(:)
    integer, intent(in) :: n
    character(len=*), intent(in) :: key
    real(dp), intent(in) :: fallback
    real(dp), intent(out) :: v
    logical, intent(inout) :: bad
    integer :: i, ios, k
    v = fallback
    k = len(key)
    do i = 1, n
      if (words(i)(1:k + 1) /= key // '=') cycle
      read (words(i)(k + 2:), *, iostat=ios) v
      if (ios /= 0 .or. len_trim(words(i)) == k + 1) bad = .true.
    end do
  end subroutine

  subroutine read_project(path, p, error)
    character(len=*), intent(in) :: path
    type(project), intent(out) :: p
    character(len=:), allocatable, intent(out) :: error
    character(len=1024) :: line
    character(len=64) :: w(16)
    character(len=16) :: at
    integer :: u, ios, n, count, i
    logical :: bad
    error = ""
    open (newunit=u, file=path, status='old', action='read', iostat=ios)
    if (ios /= 0) then
      error = "cannot open project " // path
      return
    end if
    n = 0
    do
      read (u, '(A)', iostat=ios) line
      if (ios /= 0) exit
      n = n + 1
      i = index(line, achar(13))
      if (i > 0) line(i:) = ""
      call split(line, w, count)
      if (count == 0) cycle
      if (w(1)(1:1) == '#') cycle
      write (at, '(I0)') n
      bad = .false.
      if (w(1) == "title") then
        p%title = line(index(line, "title") + 6:)
      else if (w(1) == "section" .and. count >= 3 .and. p%n_sections < max_items) then
        p%n_sections = p%n_sections + 1
        associate (s => p%sections(p%n_sections))
          s%name = w(2)
          s%shape = w(3)
          call value_of(w(4:), count - 3, "b", 0.0_dp, s%b, bad)
          call value_of(w(4:), count - 3, "h", 0.0_dp, s%h, bad)
          call value_of(w(4:), count - 3, "tw", 0.0_dp, s%tw, bad)
          call value_of(w(4:), count - 3, "tf", 0.0_dp, s%tf, bad)
          if (bad .or. s%b <= 0 .or. s%h <= 0) bad = .true.
          if (s%shape /= "rect" .and. .not. (s%shape == "ibeam" .and. s%tw > 0 .and. s%tf > 0 .and. &
                                             2 * s%tf < s%h .and. s%tw <= s%b)) bad = .true.
          if (bad) error = path // ":" // trim(at) // ": bad section " // trim(s%name)
        end associate
      else if (w(1) == "beam" .and. count >= 3 .and. p%n_beams < max_items) then
        p%n_beams = p%n_beams + 1
        associate (b => p%beams(p%n_beams))
          b%name = w(2)
          b%support = w(3)
          do i = 4, count
            if (w(i)(1:8) == "section=") b%section = w(i)(9:)
          end do
          call value_of(w(4:), count - 3, "L", 0.0_dp, b%L, bad)
          call value_of(w(4:), count - 3, "q", 0.0_dp, b%q, bad)
          call value_of(w(4:), count - 3, "P", 0.0_dp, b%P, bad)
          call value_of(w(4:), count - 3, "a", 0.0_dp, b%a, bad)
          if (b%support /= "simple" .and. b%support /= "cantilever") bad = .true.
          if (bad .or. b%L <= 0 .or. b%a < 0 .or. b%a > b%L) then
            bad = .true.
            error = path // ":" // trim(at) // ": bad beam " // trim(b%name)
          end if
        end associate
      else
        bad = .true.
        error = path // ":" // trim(at) // ": not understood: " // trim(line)
      end if
      if (bad) exit
    end do
    close (u)
    if (len(error) == 0 .and. p%n_beams == 0 .and. p%n_sections == 0) error = path // ": nothing to calculate"
  end subroutine

  integer function find_section(p, name)
    type(project), intent(in) :: p
    character(len=*), intent(in) :: name
    do find_section = 1, p%n_sections
      if (p%sections(find_section)%name == name) return
    end do
    find_section = 0
  end function

  ! Area, second moment and section modulus: m2, m4, m3.
  subroutine props(s, A, I, W)
    type(section), intent(in) :: s
    real(dp), intent(out) :: A, I, W
    real(dp) :: web
    if (s%shape == "rect") then
      A = s%b * s%h
      I = s%b * s%h**3 / 12
    else
      web = s%h - 2 * s%tf
      A = 2 * s%b * s%tf + web * s%tw
      I = (s%b * s%h**3 - (s%b - s%tw) * web**3) / 12
    end if
    W = I / (s%h / 2)
  end subroutine

  subroutine solve(b, RA, RB, Mmax, Vmax)
    type(beam), intent(in) :: b
    real(dp), intent(out) :: RA, RB, Mmax, Vmax
    real(dp) :: at(5)
    integer :: i, n
    if (b%support == "cantilever") then
      RA = b%q * b%L + b%P
      RB = 0
      Mmax = b%q * b%L * b%L / 2 + b%P * b%a
      Vmax = RA
      return
    end if
    RA = b%q * b%L / 2 + b%P * (b%L - b%a) / b%L
    RB = b%q * b%L / 2 + b%P * b%a / b%L
    ! The moment is largest where the shear changes sign.
    at = [0.0_dp, b%L, b%a, 0.0_dp, 0.0_dp]
    n = 3
    if (b%q > 0) then
      at(4) = RA / b%q
      at(5) = (RA - b%P) / b%q
      n = 5
    end if
    Mmax = 0
    do i = 1, n
      if (at(i) >= 0 .and. at(i) <= b%L) Mmax = max(Mmax, abs(moment(at(i))))
    end do
    Vmax = max(abs(RA), abs(RB))
  contains
    real(dp) function moment(x)
      real(dp), intent(in) :: x
      moment = RA * x - b%q * x * x / 2
      if (x > b%a) moment = moment - b%P * (x - b%a)
    end function
  end subroutine

  real(dp) function deflection(b, EI)
    type(beam), intent(in) :: b
    real(dp), intent(in) :: EI
    real(dp) :: x, a, rest
    if (b%support == "cantilever") then
      deflection = b%q * b%L**4 / (8 * EI) + b%P * b%a * b%a * (3 * b%L - b%a) / (6 * EI)
      return
    end if
    x = b%L / 2
    a = merge(b%a, b%L - b%a, b%a >= x)
    rest = b%L - a
    deflection = 5 * b%q * b%L**4 / (384 * EI) + &
                 b%P * rest * x * (b%L * b%L - rest * rest - x * x) / (6 * b%L * EI)
  end function

  subroutine read_modulus(folder, E, error)
    character(len=*), intent(in) :: folder
    real(dp), intent(out) :: E
    character(len=:), allocatable, intent(inout) :: error
    character(len=512) :: line
    character(len=64) :: w(16)
    integer :: u, ios, n
    logical :: bad
    E = 0
    open (newunit=u, file=folder // "/material.dat", status='old', action='read', iostat=ios)
    if (ios /= 0) then
      error = "cannot open " // folder // "/material.dat"
      return
    end if
    do while (E <= 0)
      read (u, '(A)', iostat=ios) line
      if (ios /= 0) exit
      if (line(1:1) == '#') cycle
      call split(line, w, n)
      bad = .false.
      call value_of(w, n, "E", 0.0_dp, E, bad)
      if (bad) E = 0
    end do
    close (u)
    if (E <= 0) error = folder // "/material.dat: no modulus E="
  end subroutine

  ! text padded with blanks to a display width, a Chinese character counting two columns.
  function pad(text, width, right) result(s)
    character(len=*), intent(in) :: text
    integer, intent(in) :: width
    logical, intent(in), optional :: right
    character(len=:), allocatable :: s
    integer :: i, used, c
    used = 0
    do i = 1, len_trim(text)
      c = iachar(text(i:i))
      if (c >= 128 .and. c < 192) cycle
      used = used + merge(2, 1, c >= 224)
    end do
    s = trim(text)
    if (present(right)) then
      if (right) then
        s = repeat(' ', max(0, width - used)) // s
        return
      end if
    end if
    s = s // repeat(' ', max(0, width - used))
  end function

  function f(value, format) result(s)
    real(dp), intent(in) :: value
    character(len=*), intent(in) :: format
    character(len=:), allocatable :: s
    character(len=64) :: buf
    write (buf, format) value
    s = trim(buf)
  end function

  ! The modulus as C's %.4g writes it: four significant digits, no trailing zeros.
  function g4(value) result(s)
    real(dp), intent(in) :: value
    character(len=:), allocatable :: s
    character(len=32) :: mantissa
    integer :: exponent
    real(dp) :: m
    exponent = floor(log10(abs(value)))
    m = value / 10.0_dp**exponent
    if (abs(m) >= 9.9995_dp) then
      m = m / 10
      exponent = exponent + 1
    end if
    write (mantissa, '(F0.3)') m
    s = trim(mantissa)
    do while (s(len(s):len(s)) == '0')
      s = s(1:len(s) - 1)
    end do
    if (s(len(s):len(s)) == '.') s = s(1:len(s) - 1)
    write (mantissa, '(SP,I3.2)') exponent
    s = s // 'e' // trim(adjustl(mantissa))
  end function

  function header(what, p) result(s)
    character(len=*), intent(in) :: what
    type(project), intent(in) :: p
    character(len=:), allocatable :: s
    character(len=64) :: date
    integer :: v(8)
    call date_and_time(values=v)
    ! Zero-padded: the date line keeps its length from one day to the next.
    write (date, '(I4.4,"年",I2.2,"月",I2.2,"日")') v(1), v(2), v(3)
    s = "BeamCalc 1.0 计算结果: " // what // new_line('a') // "工程: " // trim(p%title) // new_line('a') // &
        "计算日期: " // trim(date) // new_line('a')
  end function

  function support_word(b) result(s)
    type(beam), intent(in) :: b
    character(len=:), allocatable :: s
    s = merge("悬臂", "简支", b%support == "cantilever")
  end function

  subroutine write_file(path, text, error)
    character(len=*), intent(in) :: path, text
    character(len=:), allocatable, intent(inout) :: error
    integer :: u, ios
    open (newunit=u, file=path, status='replace', action='write', access='stream', form='unformatted', &
          iostat=ios)
    if (ios == 0) write (u, iostat=ios) text
    if (ios == 0) close (u, iostat=ios)
    if (ios /= 0) error = "cannot write " // path
  end subroutine

  ! Calculates a project (1 forces, 2 deflections, 3 sections, 4 both) into out_folder;
  ! error is empty on success.
  subroutine calculate(project_path, func_num, out_folder, error)
    character(len=*), intent(in) :: project_path, out_folder
    integer, intent(in) :: func_num
    character(len=:), allocatable, intent(out) :: error
    type(project) :: p
    character(len=:), allocatable :: text, ratio
    character(len=16) :: num
    real(dp) :: RA, RB, Mmax, Vmax, E, A, I, W, d
    integer :: k, s, slash
    character(len=1), parameter :: nl = new_line('a')
    call read_project(project_path, p, error)
    if (len(error) > 0) return
    if (func_num < 1 .or. func_num > 4) then
      write (num, '(I0)') func_num
      error = "unknown function code " // trim(num)
      return
    end if
    if (func_num == 1 .or. func_num == 4) then
      text = header("内力", p) // pad("梁", 6) // pad("支承", 6) // pad("跨度(m)", 10, .true.) // &
             pad("Mmax(kN·m)", 12, .true.) // pad("Vmax(kN)", 10, .true.) // pad("RA(kN)", 10, .true.) // &
             pad("RB(kN)", 10, .true.) // nl
      do k = 1, p%n_beams
        call solve(p%beams(k), RA, RB, Mmax, Vmax)
        text = text // pad(p%beams(k)%name, 6) // pad(support_word(p%beams(k)), 6) // &
               f(p%beams(k)%L, '(F10.3)') // f(Mmax, '(F12.3)') // f(Vmax, '(F10.3)') // f(RA, '(F10.3)') // &
               f(RB, '(F10.3)') // nl
      end do
      call write_file(out_folder // "/forces.out", text, error)
      if (len(error) > 0) return
    end if
    if (func_num == 2 .or. func_num == 4) then
      slash = index(project_path, '/', back=.true.)
      if (slash > 0) then
        call read_modulus(project_path(1:slash - 1), E, error)
      else
        call read_modulus(".", E, error)
      end if
      if (len(error) > 0) return
      text = header("挠度", p) // "E = " // g4(E) // " kN/m2" // nl // pad("梁", 6) // pad("支承", 6) // &
             pad("跨度(m)", 10, .true.) // pad("挠度(mm)", 12, .true.) // pad("挠跨比", 12, .true.) // nl
      do k = 1, p%n_beams
        s = find_section(p, p%beams(k)%section)
        if (s == 0) then
          error = "unknown section " // trim(p%beams(k)%section)
          return
        end if
        call props(p%sections(s), A, I, W)
        d = deflection(p%beams(k), E * I)
        ratio = "-"
        if (d > 0) then
          write (num, '(I0)') nint(p%beams(k)%L / d)
          ratio = "1/" // trim(num)
        end if
        text = text // pad(p%beams(k)%name, 6) // pad(support_word(p%beams(k)), 6) // &
               f(p%beams(k)%L, '(F10.3)') // f(d * 1000, '(F12.3)') // pad(ratio, 12, .true.) // nl
      end do
      call write_file(out_folder // "/deflection.out", text, error)
      if (len(error) > 0) return
    end if
    if (func_num == 3) then
      text = header("截面特性", p) // pad("截面", 6) // pad("形状", 8) // pad("A(cm2)", 12, .true.) // &
             pad("I(cm4)", 14, .true.) // pad("W(cm3)", 12, .true.) // nl
      do k = 1, p%n_sections
        call props(p%sections(k), A, I, W)
        text = text // pad(p%sections(k)%name, 6) // &
               pad(merge("矩形   ", "工字形", p%sections(k)%shape == "rect"), 8) // &
               f(A * 1e4_dp, '(F12.3)') // f(I * 1e8_dp, '(F14.3)') // f(W * 1e6_dp, '(F12.3)') // nl
      end do
      call write_file(out_folder // "/section.out", text, error)
    end if
  end subroutine

end module beam_calc
