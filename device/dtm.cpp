// The transport: fixed-size command records and bulk data records to the
// board, over the tape-class device of the board or over a Unix-domain socket
// connected as SOCK_SEQPACKET, where every transfer is one record.
//
// On a socket a reply is read only after it was asked for: a batch is
// answered by one reply record, and a data-channel read first sends a small
// read-request record with the byte count, so the board never pushes data
// unasked and a transfer abandoned half-way leaves nothing queued. Every wait
// for a record is bounded by the "timeout=" option (seconds). A broken
// connection marks the handle lost: this and every later transfer fail at
// once, and writes never raise SIGPIPE.
#include "device/sv.h"
#include "device/sv_protocol.h"
#include "platform/byteorder.h"
#include "platform/jobs.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mtio.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kDeviceMax = 80;

void print_option_help(const char *setup, const char *option) {
    fprintf(stderr, "dtm_scsi_open: Error in setup string: %s %s\n\n", setup, option);
    fprintf(stderr, "Available options for SCSI are:\n");
    fprintf(stderr, "device=/dev/nrst1 : Set number of retries\n");
    fprintf(stderr, "retries=N         : Set number of retries\n");
    fprintf(stderr, "dirchange=1/0     : Set if driver requires rewind\n");
    fprintf(stderr, "level=N           : Set cmd/data divider\n");
}

// Parses a whole decimal number in lo..hi; false otherwise.
bool parse_number(const char *text, long lo, long hi, int *out) {
    if (!*text) return false;
    char *end = nullptr;
    errno = 0;
    const long v = strtol(text, &end, 10);
    if (errno || *end || v < lo || v > hi) return false;
    *out = int(v);
    return true;
}

int connect_socket(const char *path) {
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (strlen(path) >= sizeof addr.sun_path) {
        close(fd);
        errno = ENAMETOOLONG;
        return -1;
    }
    strcpy(addr.sun_path, path);
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        const int e = errno;
        close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

void dtm_scsi_rewind(dtm_handle *h) {
    if (h->socket) return; // records need no repositioning
    mtop op{};
    op.mt_op = MTREW;
    op.mt_count = 1;
    if (ioctl(h->fd, MTIOCTOP, &op) != 0) {
        perror("dtm_scsi_rewind: ioctl failure");
        return;
    }
    if (sv_debug & 0x08) fprintf(stderr, "dtm_scsi_rewind (%d): done (ioctl)\n", h->kind);
}

// Waits until fd is ready for `events` within the handle's timeout; false on
// timeout, a stop asked of the calling job, or a hang-up.
bool wait_ready(dtm_handle *h, short events) {
    const long long deadline_ms = (long long)h->timeout * 1000;
    long long waited = 0;
    while (true) {
        if (JobStopRequested()) return false;
        pollfd p{h->fd, events, 0};
        const int step = 100; // wake now and then to see a stop request
        const int r = poll(&p, 1, step);
        if (r < 0 && errno != EINTR) return false;
        if (r > 0) {
            if (p.revents & events) return true;
            *h->lost = true; // hang-up or error without data
            return false;
        }
        waited += step;
        if (waited >= deadline_ms) return false;
    }
}

// One record out on the socket; the length sent, or -1.
int socket_send(dtm_handle *h, const void *data, int len) {
    if (*h->lost || JobStopRequested()) return -1;
    if (!wait_ready(h, POLLOUT)) return -1;
    const ssize_t n = send(h->fd, data, size_t(len), MSG_NOSIGNAL);
    if (n < 0) {
        if (errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN) *h->lost = true;
        return -1;
    }
    return int(n);
}

// One record in; its length (0 when the peer closed), or -1.
int socket_recv(dtm_handle *h, void *data, int len) {
    if (*h->lost || JobStopRequested()) return -1;
    if (!wait_ready(h, POLLIN)) return -1;
    const ssize_t n = recv(h->fd, data, size_t(len), 0);
    if (n <= 0) {
        *h->lost = true;
        return -1;
    }
    return int(n);
}

} // namespace

int dtm_scsi_open(dtm_handle **command, dtm_handle **data, const char *setup) {
    dtm_handle cfg{};
    snprintf(cfg.device, sizeof cfg.device, "%s", "/dev/tapens");
    cfg.level = SV_BATCH_BYTES;
    cfg.dirchange = 1;
    cfg.retries = 5;
    cfg.timeout = 10;
    bool bad = false;
    const char *p = strchr(setup, ',');
    while (p && *p) {
        ++p;
        const char *end = strchr(p, ',');
        const std::string option = end ? std::string(p, end) : std::string(p);
        p = end;
        if (option.empty()) continue;
        const size_t eq = option.find('=');
        const std::string key = option.substr(0, eq);
        const char *value = eq == std::string::npos ? "" : option.c_str() + eq + 1;
        bool ok = true, known = true;
        if (key == "dev" || key == "device") {
            if (eq == std::string::npos || strlen(value) > size_t(kDeviceMax) || !*value) {
                fprintf(stderr, "dtm_scsi_open: device name too long or empty: %s\n", value);
                bad = true;
                continue;
            }
            snprintf(cfg.device, sizeof cfg.device, "%s", value);
        } else if (key == "dirchange") {
            ok = parse_number(value, 0, 1, &cfg.dirchange);
        } else if (key == "level") {
            ok = parse_number(value, 1, SV_BATCH_BYTES, &cfg.level);
        } else if (key.compare(0, 4, "retr") == 0) {
            ok = parse_number(value, 1, 100, &cfg.retries);
        } else if (key == "timeout") {
            ok = parse_number(value, 1, 3600, &cfg.timeout);
        } else {
            known = false;
        }
        if (!known || !ok) print_option_help(setup, option.c_str());
    }
    if (bad) return -1;

    // The device: a Unix-domain socket (the simulator) or a character device
    // (the board). Anything else would swallow batches into a file: refused.
    struct stat st {};
    if (stat(cfg.device, &st) != 0) {
        perror(cfg.device);
        return -1;
    }
    int fd = -1;
    if (S_ISSOCK(st.st_mode)) {
        fd = connect_socket(cfg.device);
        cfg.socket = true;
    } else if (S_ISCHR(st.st_mode)) {
        fd = open(cfg.device, O_RDWR | O_CLOEXEC | O_NOCTTY);
    } else {
        fprintf(stderr, "dtm_scsi_open: %s is neither a socket nor a character device\n",
                cfg.device);
        return -1;
    }
    if (fd < 0) {
        perror(cfg.device);
        return -1;
    }
    auto *lost = new bool(false);
    auto *c = new dtm_handle(cfg);
    auto *d = new dtm_handle(cfg);
    c->fd = d->fd = fd;
    c->kind = 0;
    d->kind = 1;
    c->lost = d->lost = lost;
    *command = c;
    *data = d;
    return 0;
}

int dtm_open(dtm_handle **command, dtm_handle **data, const char *setup) {
    if (!setup || strncmp(setup, "SCSI", 4) != 0) {
        fprintf(stderr, "dtm_open: Setup incorrect, check in manual\n");
        fprintf(stderr, "dtm_open: Was     : %s\n", setup ? setup : "(null)");
        fprintf(stderr, "dtm_open: Example : SCSI,dev=/dev/nrst1\n");
        return -1;
    }
    return dtm_scsi_open(command, data, setup);
}

int dtm_scsi_close(dtm_handle *h) {
    if (!h) return -1;
    if (h->kind == 0) {
        if (h->fd >= 0) close(h->fd);
        delete h->lost;
    }
    delete h;
    return 0;
}

int dtm_close(dtm_handle *h) {
    return dtm_scsi_close(h);
}

int dtm_info(dtm_handle *h, int code) {
    if (!h) {
        fprintf(stderr, "dtm_info(): Called with NULL handle\n");
        return -1;
    }
    if (code == 1) return SV_BATCH_BYTES;
    fprintf(stderr, "dtm_info(): Illegal code %d\n", code);
    return -1;
}

int dtm_scsi_host2isp(dtm_handle *h, const void *data, int len) {
    if (!h || len < 0) return -1;
    // The board tells commands from data by the size of the transfer.
    if (h->kind == 0 ? len > h->level : len <= h->level) return -1;
    if (*h->lost) return -1;
    if (h->dirchange && h->last_direction != 1) dtm_scsi_rewind(h);
    h->last_direction = 1;
    for (int attempt = 0; attempt < h->retries; ++attempt) {
        if (attempt > 0) dtm_scsi_rewind(h);
        ++h->transfers;
        if (h->socket) {
            const int n = socket_send(h, data, len);
            if (n == len) return n;
            return -1; // a record goes whole or not at all
        }
        const ssize_t n = write(h->fd, data, size_t(len));
        if (n > 0) return int(n);
        if (n < 0 && errno != EIO && errno != EINTR && errno != EACCES) return -1;
    }
    return -1;
}

int dtm_scsi_isp2host(dtm_handle *h, void *data, int len) {
    if (!h || len <= 0) return -1;
    if (*h->lost) return -1;
    if (h->dirchange && h->last_direction != 2) dtm_scsi_rewind(h);
    h->last_direction = 2;
    for (int attempt = 0; attempt < h->retries; ++attempt) {
        if (attempt > 0) dtm_scsi_rewind(h);
        ++h->transfers;
        if (h->socket) {
            if (h->kind == 1) {
                unsigned char req[SV_READ_REQUEST_BYTES];
                put_be32(req, SV_READ_REQUEST);
                put_be32(req + 4, uint32_t(len));
                if (socket_send(h, req, sizeof req) != int(sizeof req)) return -1;
            }
            const int n = socket_recv(h, data, len);
            if (n < 0) return -1;
            h->last_count = n;
            return n > h->level ? 1 : 0;
        }
        const ssize_t n = read(h->fd, data, size_t(len));
        if (n > 0) h->last_count = int(n);
        if (n > 0) return n > h->level ? 1 : 0;
        if (n < 0 && errno != EIO && errno != EINTR && errno != EACCES) return -1;
    }
    return -1;
}

int dtm_host2isp(dtm_handle *h, const void *data, int len) {
    return dtm_scsi_host2isp(h, data, len);
}
int dtm_isp2host(dtm_handle *h, void *data, int len) {
    return dtm_scsi_isp2host(h, data, len);
}
