! baseline.f90 - the file work of a quon run done the plain Fortran way, as a
! yardstick for quon's own speed: list-directed (or unformatted) reads of the
! same cell array files, and formatted (20F9.5) writes of the same RCH
! arrays, period by period.
!
! Usage: baseline <plan file> <out file> [bin]
! The plan holds one step a line:
!   r PATH     read a cell array file (pumping, areas: read and set aside)
!   c K PATH   read a cell array file as RCH component K (1 = the year's
!              recharge grid in inches a year, 2..4 = the period's
!              groundwater-, surface-water- and commingled-irrigation
!              recharge in acre-feet)
!   z          start a period: components 2..4 become zero
!   w          write the period: 165 rows of (20F9.5) for each component
program baseline
  implicit none
  integer, parameter :: ncol = 326, nrow = 165
  real(8) :: a(ncol, nrow), comp(ncol, nrow, 4), scale(4)
  character(len=600) :: planname, outname, arg, line
  integer :: i, j, k, ios, nreads, nperiods
  logical :: bin

  call get_command_argument(1, planname)
  call get_command_argument(2, outname)
  call get_command_argument(3, arg)
  bin = (arg == 'bin')

  ! Inches of a period from inches a year (a month's share), and from
  ! acre-feet over a 640-acre cell.
  scale = (/ 0.08333333d0*53.333333333333336d0*0.01875d0, 0.01875d0, &
             0.01875d0, 0.01875d0 /)
  comp = 0d0
  nreads = 0
  nperiods = 0
  open (9, file=outname, status='replace')
  open (7, file=planname, status='old')
  do
    read (7, '(A)', iostat=ios) line
    if (ios /= 0) exit
    select case (line(1:1))
    case ('r')
      call readgrid(trim(line(3:)), a)
    case ('c')
      read (line(3:3), '(I1)') k
      call readgrid(trim(line(5:)), comp(:, :, k))
    case ('z')
      comp(:, :, 2:4) = 0d0
    case ('w')
      do k = 1, 4
        do i = 1, nrow
          write (9, '(20F9.5)') (comp(j, i, k)*scale(k), j=1, ncol)
        end do
      end do
      nperiods = nperiods + 1
    end select
  end do
  close (7)
  close (9)
  print '(A,I0,A,I0,A)', 'baseline: ', nreads, ' files read, ', nperiods, &
    ' periods written'

contains

  subroutine readgrid(name, g)
    character(len=*), intent(in) :: name
    real(8), intent(out) :: g(ncol, nrow)
    integer :: r, c
    if (bin) then
      open (8, file=name, status='old', form='unformatted')
      read (8) g
    else
      open (8, file=name, status='old')
      do r = 1, nrow
        read (8, *) (g(c, r), c=1, ncol)
      end do
    end if
    close (8)
    nreads = nreads + 1
  end subroutine readgrid

end program baseline
