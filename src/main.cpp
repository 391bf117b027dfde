#include "bootstrap/ApplicationMain.h"

int main(int argc, char** argv) {
  return bootstrap::applicationMain(argc, argv);
}
