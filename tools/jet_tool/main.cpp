#include <cstdio>
int main() {
  std::fputs("usage: jet-tool COMMAND FILE ...\n", stderr);
  return 2;
}
