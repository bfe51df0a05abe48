/* A stand-in for the desktop's elevation command in the tests that run the
 * launcher as an ordinary user: a test that runs as root copies it into its
 * temporary folder and makes it setuid root; it then starts its arguments
 * (an absolute program path and that program's arguments) as root, the way
 * the real command does once the user agreed. */
#include <grp.h>
#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] != '/') {
    fputs("usage: elevate_as_root /program [arguments]\n", stderr);
    return 127;
  }
  if (setgroups(0, NULL) != 0 || setgid(0) != 0 || setuid(0) != 0) {
    perror("elevate_as_root");
    return 126;
  }
  execv(argv[1], argv + 1);
  perror("elevate_as_root");
  return 127;
}
