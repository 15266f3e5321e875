// Movies as import sources: files decoded through FFmpeg (libavformat,
// libavcodec, libswscale) into field-sequential R, G, B frames of the
// movie's own size, sampled at the video standard's frame rate. Only local
// files are read (the "file" protocol alone) and only container formats that
// hold their media themselves (no playlists or concatenations).
#pragma once

#include <memory>
#include <string>
#include <vector>

struct ImportSeq;

// True when name ends in ".mp4", ".mov", ".avi", ".mkv" or ".webm"
// (compared without regard to case).
bool ImportIsMovie(const std::string &name);

// Adds the movie files of dir to list as plain entries (shown as their
// names) numbered 1 .. their frame count at fps; unreadable movies are left
// out. Returns the number added, -1 when dir cannot be read.
int ImportMovieSearch(const char *dir, std::vector<ImportSeq> &list);

// One open movie: its first video stream, decoded in order.
class MovieSource {
  public:
    MovieSource();
    ~MovieSource();
    MovieSource(const MovieSource &) = delete;
    MovieSource &operator=(const MovieSource &) = delete;

    // Opens path; false when it is not a readable local movie with a video
    // stream of an accepted picture size.
    bool open(const std::string &path);
    int width() const;
    int height() const;
    // Frames at the video standard's rate (fps) over the movie's duration;
    // at least 1 for an open movie.
    int frames() const;
    // The picture on screen at time t seconds (the last frame starting at
    // or before t; the first frame for earlier times) into frame, a
    // field-sequential R, G, B buffer of width() x height(). Times must not
    // decrease from call to call. False when no frame could be decoded.
    bool picture_at(double t, unsigned char *frame);

  private:
    struct State;
    std::unique_ptr<State> s_;
};
