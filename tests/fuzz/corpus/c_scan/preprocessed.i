# 1 "m.c"
int counter;
static char flags[4] = {1, 2, 3, 4};
const int table[3] = {1, 2, 3};
# 1 "io.h" 1
extern int elsewhere;
# 5 "m.c" 2
struct s { int a; int b; } pair, many[10];
const char *msg = "hi";
static void helper(void) { counter++; }
int main(void)
{
  helper();
  if (counter) proto("hi"[0]);
  while (1) { switch (counter) { case 1: goto out; } }
out:
  return 0;
}
