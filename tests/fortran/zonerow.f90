! zonerow.f90 - reference reader of zone grid rows for the tests: for every
! file named in the list file (first argument), skips `skip` records and
! reads one row of 326 fields with (999I1) or (999I2) (second and third
! arguments: width, skip), then prints the read status and the 326 values.
program zonerow
  implicit none
  character(len=4096) :: listname, fname, arg
  integer :: v(326), ios, w, skip, j, k, lu
  call get_command_argument(1, listname)
  call get_command_argument(2, arg)
  read (arg, *) w
  call get_command_argument(3, arg)
  read (arg, *) skip
  open (9, file=trim(listname), status='old')
  lu = 10
  do
    read (9, '(A)', iostat=ios) fname
    if (ios /= 0) exit
    open (lu, file=trim(fname), status='old')
    do k = 1, skip
      read (lu, '(A)')
    end do
    v = 0
    if (w == 1) then
      read (lu, '(999I1)', iostat=ios) (v(j), j=1, 326)
    else
      read (lu, '(999I2)', iostat=ios) (v(j), j=1, 326)
    end if
    close (lu)
    write (*, '(I6,326I4)') ios, v
  end do
end program zonerow
