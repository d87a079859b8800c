// kvrrank: run in the game folder; arguments are ignored.
#include "app/run.h"

#include <cstdio>

int main() {
    return kvr::runKvrRank(stdout);
}
