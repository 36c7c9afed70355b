/* probe: reads and writes the DOS attribute word of entries the way the kernel offers it, and
 * tells whether the disk under a mount point is removable. It runs inside the test machine
 * (built -static, so the initramfs needs no C library) and checks what zavero reads and writes.
 *
 *   probe get PATH...        one line per path: "PATH 0xXXXXXXXX" or "PATH ENAME"
 *   probe set WORD PATH      writes WORD; "PATH ok" or "PATH ENAME" (status 1)
 *   probe disk MOUNTPOINT    "MOUNTPOINT removable=N usb=N"
 *
 * vfat and exfat keep the word behind FAT_IOCTL_GET/SET_ATTRIBUTES; everything else is asked for
 * the NTFS extended attribute (ntfs3, ntfs-3g), stored big-endian. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#ifndef EXFAT_SUPER_MAGIC
#define EXFAT_SUPER_MAGIC 0x2011BAB0
#endif

static const char *errname(int e)
{
    switch (e) {
    case ENOTTY: return "ENOTTY";
    case EINVAL: return "EINVAL";
    case EPERM: return "EPERM";
    case EACCES: return "EACCES";
    case ENOENT: return "ENOENT";
    case ENODATA: return "ENODATA";
    case EOPNOTSUPP: return "EOPNOTSUPP";
    case EROFS: return "EROFS";
    case ERANGE: return "ERANGE";
    case EIO: return "EIO";
    default: {
        static char buf[16];
        snprintf(buf, sizeof buf, "E%d", e);
        return buf;
    }
    }
}

static int uses_fat_ioctl(const char *path)
{
    struct statfs fs;
    if (statfs(path, &fs) != 0)
        return 0;
    return fs.f_type == MSDOS_SUPER_MAGIC || fs.f_type == EXFAT_SUPER_MAGIC;
}

/* Returns 0 or an errno. */
static int read_word(const char *path, uint32_t *word)
{
    if (uses_fat_ioctl(path)) {
        int fd = open(path, O_RDONLY | O_NOFOLLOW);
        if (fd < 0)
            return errno;
        int rc = ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, word) == 0 ? 0 : errno;
        close(fd);
        return rc;
    }
    unsigned char be[4];
    ssize_t n = lgetxattr(path, "system.ntfs_attrib_be", be, sizeof be);
    if (n < 0)
        return errno;
    if (n != 4)
        return ERANGE;
    *word = (uint32_t)be[0] << 24 | (uint32_t)be[1] << 16 | (uint32_t)be[2] << 8 | be[3];
    return 0;
}

static int write_word(const char *path, uint32_t word)
{
    if (uses_fat_ioctl(path)) {
        int fd = open(path, O_RDONLY | O_NOFOLLOW);
        if (fd < 0)
            return errno;
        int rc = ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &word) == 0 ? 0 : errno;
        close(fd);
        return rc;
    }
    unsigned char be[4] = {word >> 24, word >> 16, word >> 8, word};
    return lsetxattr(path, "system.ntfs_attrib_be", be, sizeof be, 0) == 0 ? 0 : errno;
}

/* A partition's sysfs folder has a "partition" file; its disk is the folder above. The disk
 * says "removable"; USB disks that say 0 still sit under a ".../usbN/..." path. */
static int describe_disk(const char *mountpoint)
{
    struct stat st;
    if (stat(mountpoint, &st) != 0) {
        printf("%s %s\n", mountpoint, errname(errno));
        return 1;
    }
    char link[64], dev[PATH_MAX], probe[PATH_MAX + 32];
    snprintf(link, sizeof link, "/sys/dev/block/%u:%u", major(st.st_dev), minor(st.st_dev));
    if (!realpath(link, dev)) {
        printf("%s no block device (%s)\n", mountpoint, errname(errno));
        return 1;
    }
    snprintf(probe, sizeof probe, "%s/partition", dev);
    if (access(probe, F_OK) == 0)
        *strrchr(dev, '/') = '\0';
    snprintf(probe, sizeof probe, "%s/removable", dev);
    int removable = -1;
    FILE *f = fopen(probe, "r");
    if (f) {
        if (fscanf(f, "%d", &removable) != 1)
            removable = -1;
        fclose(f);
    }
    printf("%s removable=%d usb=%d\n", mountpoint, removable, strstr(dev, "/usb") != NULL);
    return removable < 0;
}

int main(int argc, char **argv)
{
    if (argc >= 3 && strcmp(argv[1], "get") == 0) {
        int status = 0;
        for (int i = 2; i < argc; i++) {
            uint32_t word = 0;
            int e = read_word(argv[i], &word);
            if (e)
                printf("%s %s\n", argv[i], errname(e)), status = 1;
            else
                printf("%s 0x%08x\n", argv[i], word);
        }
        return status;
    }
    if (argc == 4 && strcmp(argv[1], "set") == 0) {
        char *end;
        unsigned long word = strtoul(argv[2], &end, 0);
        if (*end || word > UINT32_MAX) {
            fprintf(stderr, "probe: not a 32-bit word: %s\n", argv[2]);
            return 2;
        }
        int e = write_word(argv[3], (uint32_t)word);
        printf("%s %s\n", argv[3], e ? errname(e) : "ok");
        return e != 0;
    }
    if (argc == 3 && strcmp(argv[1], "disk") == 0)
        return describe_disk(argv[2]);
    fprintf(stderr, "usage: probe get PATH... | probe set WORD PATH | probe disk MOUNTPOINT\n");
    return 2;
}
