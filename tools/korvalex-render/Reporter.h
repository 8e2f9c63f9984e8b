#pragma once
// What the tool tells the user on standard error while it works: a progress bar (only on
// a terminal), a line per finished file, warnings and errors. Safe to use from workers.

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

class Reporter {
public:
    // `jobs` files will be reported on; `progressBar` draws the bar, `quiet` keeps
    // everything but errors to itself.
    Reporter(std::size_t jobs, bool progressBar, bool quiet);

    void progress(std::size_t job, double fraction);
    void note(const std::string& message);     // not shown when quiet
    void error(const std::string& message);    // always shown
    void finish();                             // takes the bar off the screen

private:
    void print(const std::string& line);  // with the lock held
    void drawBar();                       // with the lock held

    std::mutex mutex_;
    std::vector<double> fractions_;
    bool progressBar_;
    bool quiet_;
    bool barShown_ = false;
    int shownPercent_ = -1;
};
