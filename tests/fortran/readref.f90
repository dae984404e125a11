! readref.f90 - reference for the word conversions: reads words, one per line,
! from the file named first on the command line and converts each as the
! (I32) and (F32.0) internal reads do. One output line per word:
!   iostat_int value_int iostat_real bits_real
! where the targets are preset to -777 / -777.0 before each read, so an
! unchanged target shows a read that did not store.
program readref
  implicit none
  character(len=256) :: fname
  character(len=128) :: line
  character(len=32) :: field
  integer :: ios, iosi, iosr, ival
  real(8) :: dval
  integer(8) :: bits

  call get_command_argument(1, fname)
  open (8, file=fname, status='old', action='read')
  do
    read (8, '(A)', iostat=ios) line
    if (ios /= 0) exit
    field = line
    ival = -777
    dval = -777.0d0
    read (field, '(I32)', iostat=iosi) ival
    read (field, '(F32.0)', iostat=iosr) dval
    bits = transfer(dval, bits)
    write (*, '(I0,1X,I0,1X,I0,1X,Z16.16)') iosi, ival, iosr, bits
  end do
  close (8)
end program readref
