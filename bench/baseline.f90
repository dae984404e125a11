! baseline.f90 - the file work of a quon run done the plain Fortran way, as a
! yardstick for quon's own speed: list-directed (or unformatted) reads of the
! same cell array files, then formatted (20F9.5) writes of the same number of
! RCH array rows.
!
! Usage: baseline <file list> <rch row count> <out file> [bin]
!   file list: one array file name per line, in the order quon reads them
!   rch row count: number of 326-value rows quon writes to its RCH files
program baseline
  implicit none
  integer, parameter :: ncol = 326, nrow = 165
  real(8) :: a(ncol, nrow), s
  character(len=512) :: listname, outname, arg, fname
  integer :: nrows, i, j, ios, nfiles
  logical :: bin

  call get_command_argument(1, listname)
  call get_command_argument(2, arg)
  read (arg, *) nrows
  call get_command_argument(3, outname)
  call get_command_argument(4, arg)
  bin = (arg == 'bin')

  s = 0d0
  nfiles = 0
  open (7, file=listname, status='old')
  do
    read (7, '(A)', iostat=ios) fname
    if (ios /= 0) exit
    if (bin) then
      open (8, file=fname, status='old', form='unformatted')
      read (8) a
    else
      open (8, file=fname, status='old')
      do i = 1, nrow
        read (8, *) (a(j, i), j=1, ncol)
      end do
    end if
    close (8)
    s = s + a(1, 1)
    nfiles = nfiles + 1
  end do
  close (7)

  ! The RCH rows: the values of the last file read, scaled as quon scales
  ! acre-feet to inches, written row after row.
  a = a*0.01875d0
  open (9, file=outname, status='replace')
  do i = 1, nrows
    write (9, '(20F9.5)') (a(j, mod(i - 1, nrow) + 1), j=1, ncol)
  end do
  close (9)
  print '(A,I0,A,I0,A)', 'baseline: ', nfiles, ' files read, ', nrows, ' rows written'
end program baseline
