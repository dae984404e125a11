! fmtref - writes values with the runtime's own edit descriptors, for the
! byte comparisons of the formatting tests.
!
! Without an argument it reads batches from standard input. A batch starts
! with a line "code w d n" followed by n lines of one 64-bit integer each:
!   code 1: the bit pattern of a REAL*8, written with (Fw.d)
!   code 2: the bit pattern of a REAL*8, written with (1PEw.d)
!   code 3: the bit pattern of a REAL*8, written list-directed
!   code 4: an INTEGER*8, written with (Iw)
!   code 5: an INTEGER*4, written list-directed
! Each value gives one record on standard output.
!
! With the argument "rows" it reads "k w d n" and n bit patterns and writes
! them all with (kFw.d) in one WRITE (format reversion).
!
! With the argument "composite" it writes the mixed records the program's
! files use, one after the other.
program fmtref
  implicit none
  character(len=32) :: arg
  if (command_argument_count() >= 1) then
    call get_command_argument(1, arg)
  else
    arg = ' '
  end if
  if (arg == 'rows') then
    call do_rows()
  else if (arg == 'composite') then
    call do_composite()
  else
    call do_batches()
  end if
contains

  subroutine do_batches()
    integer :: code, w, d, n, k, ios
    integer(8) :: bits
    integer(4) :: i4
    real(8) :: x
    character(len=40) :: f
    do
      read (*, *, iostat=ios) code, w, d, n
      if (ios /= 0) exit
      select case (code)
      case (1)
        write (f, '(A,I0,A,I0,A)') '(F', w, '.', d, ')'
      case (2)
        write (f, '(A,I0,A,I0,A)') '(1PE', w, '.', d, ')'
      case (4)
        write (f, '(A,I0,A)') '(I', w, ')'
      end select
      do k = 1, n
        read (*, '(I20)') bits
        select case (code)
        case (1, 2)
          x = transfer(bits, x)
          write (*, f) x
        case (3)
          x = transfer(bits, x)
          write (*, *) x
        case (4)
          write (*, f) bits
        case (5)
          i4 = int(bits, 4)
          write (*, *) i4
        end select
      end do
    end do
  end subroutine do_batches

  subroutine do_rows()
    integer :: k, w, d, n, j
    integer(8), allocatable :: bits(:)
    real(8), allocatable :: x(:)
    character(len=40) :: f
    read (*, *) k, w, d, n
    allocate (bits(n), x(n))
    do j = 1, n
      read (*, '(I20)') bits(j)
    end do
    x = transfer(bits, x, n)
    write (f, '(A,I0,A,I0,A,I0,A)') '(', k, 'F', w, '.', d, ')'
    write (*, f) x
  end subroutine do_rows

  subroutine do_composite()
    real(8) :: s1
    character(len=16) :: names(3)
    ! RCH array control records
    s1 = 0.08333333333333333d0 / 31557600d0
    write (*, '(A,1P,E15.8,0P,A,I3,1X,A)') 'INTERNAL ', s1, ' (20F9.5) ', -1, 'Steady '
    s1 = 0.08333333333333333d0 / 2678400d0
    write (*, '(A,1P,E15.8,0P,A,I3,1X,A)') 'INTERNAL ', s1, ' (20F9.5) ', -1, ' 1/1950'
    write (*, '(A,1P,E15.8,0P,A,I3,1X,A)') 'INTERNAL ', 0d0, ' (20F9.5) ', -1, ' 1/1950'
    write (*, '(A,1P,E15.8,0P,A,I3,1X,A)') 'INTERNAL ', 1d-100, ' (20F9.5) ', -1, ' 1/1950'
    ! month labels and years
    write (*, '(I2,A,I4)') 1, '/', 1950
    write (*, '(I2,A,I4)') 12, '/', 1950
    write (*, '(I2,A,I4)') 1, '/', 12345
    write (*, '(F7.2)') 1950 + 1 / 100d0
    write (*, '(F7.2)') 2150 + 12 / 100d0
    ! WEL and RCH header lines, period records, well lines
    write (*, '(2I10,A)') 14000, 50, ' NOPRINT'
    write (*, '(2I10,A)') 14000, 0, ' NOPRINT'
    write (*, '(2I10)') 1, 0
    write (*, '(I5,I3,1X,A)') 0, -1, 'Steady '
    write (*, '(I5,I3,1X,A)') 14000, -1, ' 1/1950'
    write (*, '(I1,2I4,F11.6)') 1, 1, 1, -0.5d0
    write (*, '(I1,2I4,F11.6)') 1, 165, 326, -1234.5678905d0
    write (*, '(I1,2I4,F11.6)') 1, 165, 326, -999.9999995d0
    write (*, '(I1,2I4,F11.6)') 1, 165, 326, -0.0d0
    ! budget table heads and rows
    write (*, '(A,99A10)') ' Year', 'CO', 'Kansas_Zone', 'ABCDEFGHIJKLMN', 'TENCHARSXY', 'gwIrr_af'
    names(1) = 'CO'
    names(2) = 'ABCDEFGHIJKLMN'
    write (*, '(A,99A10)') ' Year', names(1), names(2)
    write (*, '(1X,A4,99F10.1)') 'SS  ', 640d0, 123456789d0, -0.04d0, 0.25d0
    write (*, '(A4,99F12.1)') '1950', 123456789d0, 0d0, -0.04d0
    ! terrain plot and function table lines
    write (*, '(A6,999(1X,A,I3))') 'Precip', 'Soil', 1, 'Soil', 1, 'Soil', 2, 'Soil', 2
    write (*, '(F6.1,999F8.3)') 30d0, 3d0, 2.5d0, 12345d0, -0.0625d0
    ! annual pumping table lines
    write (*, '(3(I5,A),2(F12.2,A))') 1, ',', 1, ',', 1, ',', 0d0, ',', 0d0, ','
    write (*, '(3(I5,A),2(F12.2,A))') 53790, ',', 165, ',', 326, ',', 1234.565d0, ',', -0d0, ','
    ! list-directed reports
    write (*, *) 'WARNING: ', 'Terrain multiplier error ', 12, 34, 0.0d0
    write (*, *) 'WARNING: ', 'Terrain multiplier error ', 165, 326, -1.5d0
    write (*, *) 'WARNING: ', 'Missing soil type ', 1, 1
    write (*, *) 'Increase MAXWEL to ', 14001
    write (*, *) 'Error opening file', ' ', 'data/soil.txt'
    write (*, *) 'Error opening file', 'data/soil.txt'
    write (*, *) 'Negative PPT', -3.0d-5
    write (*, *) 'x', 1.25d0, 'y'
    write (*, *) 12, 34
    write (*, *) -1, 2147483647, -2147483647 - 1
  end subroutine do_composite

end program fmtref
