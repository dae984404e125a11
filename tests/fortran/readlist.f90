! readlist.f90 - reference for free-format grid rows: reads ROWS list-directed
! records of COLS reals each from FILE (arguments: FILE ROWS COLS), every
! value preset to -777.0 before its row is read. One output line per row:
!   iostat bits(1) ... bits(COLS)
! Stops after the first row that fails.
program readlist
  implicit none
  character(len=256) :: fname, arg
  integer :: rows, cols, i, j, ios
  real(8), allocatable :: a(:)
  integer(8) :: bits

  call get_command_argument(1, fname)
  call get_command_argument(2, arg)
  read (arg, *) rows
  call get_command_argument(3, arg)
  read (arg, *) cols
  allocate (a(cols))
  open (8, file=fname, status='old', action='read')
  do i = 1, rows
    a = -777.0d0
    read (8, *, iostat=ios) (a(j), j = 1, cols)
    write (*, '(I0)', advance='no') ios
    do j = 1, cols
      bits = transfer(a(j), bits)
      write (*, '(1X,Z16.16)', advance='no') bits
    end do
    write (*, '()')
    if (ios /= 0) exit
  end do
  close (8)
  deallocate (a)
end program readlist
