#include "check_sentences/check_sentences.hpp"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return mivo::runCheckSentences(args, std::cin, std::cout, std::cerr);
}
