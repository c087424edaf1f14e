/* A program with one function built for the Pentium Pro, whose maximum the
   compiler turns into a CMOV: the processor-floor check must refuse it and
   name that function, and let the rest of the program (built for the
   floor, with the same runtime as A_Tavrel.exe) pass. */
#include <stdio.h>
#include <stdlib.h>

__attribute__((noinline, target("arch=pentiumpro"))) int floor_probe_larger(int a, int b)
{
  return a > b ? a : b;
}

int main(int argc, char **argv)
{
  printf("%d\n", floor_probe_larger(argc, argc > 1 ? atoi(argv[1]) : 0));
  return 0;
}
