// kvrsample DIR [--participants N] [--seed S]: makes a synthetic game folder for kvrrank.
#include "sample_folder.h"

#include <cstdio>

int main(int argc, char** argv) {
    return kvrsample::runKvrSample(argc, argv, stdout, stderr);
}
