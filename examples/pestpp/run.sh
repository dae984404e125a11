#!/bin/sh
# run.sh - the model command of the PEST++ control files: runs quon on the
# parameter file PEST++ has just written from quon.tpl, in the current run
# folder. PEST++ starts the command without a shell, so the redirection is
# made here; quon's messages go to quon.log.
#
# quon is $QUON when set (an absolute path: agents run in other folders),
# else ./quon-exe, the link setup.sh makes to the quon it was given.
#
# --strict: any report that would let the run go on ends it with status 1.
# The status is passed on, and PEST++ marks the run failed instead of
# reading numbers from a run that went wrong.
quon=${QUON:-./quon-exe}
"$quon" --strict quon.par >quon.log 2>&1
status=$?
if [ "$status" -ne 0 ]; then
  echo "run.sh: quon ended with status $status in $(pwd); its messages:" >&2
  tail -n 20 quon.log >&2
fi
exit "$status"
