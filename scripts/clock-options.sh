# Sourced by bench-httpdate.sh and bench-sntp.sh, which pass their own
# arguments on: takes "--tick MS" and "--no-interpolation" out of them.
#   tick           the program's clock moves in steps of MS milliseconds
#                  (55: Windows 9x; 15.625 or 10: NT); 0, the default: the
#                  machine's own clock
#   interpolation  on, or off with --no-interpolation: the coarse clock read
#                  as it is
#   clock_options  the same for the benchmark programs
#   positional     the other arguments, in order
#   clock_text     a line that says which clock
tick=0
interpolation=on
positional=()
while [ $# -gt 0 ]; do
  case $1 in
    --tick) tick=$2; shift 2 ;;
    --no-interpolation) interpolation=off; shift ;;
    *) positional+=("$1"); shift ;;
  esac
done
clock_options=(--tick "$tick")
[ "$interpolation" = on ] || clock_options+=(--no-interpolation)
if [ "$tick" = 0 ]; then
  clock_text="program's clock: the machine's own"
else
  clock_text="program's clock: steps of $tick ms, interpolation $interpolation"
fi
