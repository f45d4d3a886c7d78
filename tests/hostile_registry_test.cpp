// Thousands of generated registry states fed through discovery: each run either stops
// with a defined status or gives a terminated add-in folder that fits its buffer and ends
// with a backslash. The seed is printed; KAVOR_SEED replays one.
#include "../discovery/discovery.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct Generator {
    uint64_t state;

    uint32_t next()
    {
        // xorshift64*: small, and the same sequence on every machine.
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return (uint32_t)((state * 2685821657736338717ULL) >> 32);
    }
    int below(int limit) { return (int)(next() % (uint32_t)limit); }
    bool chance(int percent) { return below(100) < percent; }
};

const char ProgId[] = "KavorFuzz.Sheet";
const char CommandKey[] = "KavorFuzz.Sheet\\shell\\open\\command";

// Lengths cluster around the buffers' edges, where off-by-one faults live.
size_t pick_length(Generator &random)
{
    static const size_t edges[] = {0, 1, 2, 235, 236, 237, 254, 255, 256, 257, 258, 259, 260, 261, 262, 300, 520};
    if (random.chance(60))
        return edges[random.below(sizeof edges / sizeof edges[0])];
    return (size_t)random.below(600);
}

std::string pick_bytes(Generator &random, size_t length)
{
    // Path-like pieces, separators the cleaning rules look for, and code page 932 lead
    // bytes whose trail byte may be a backslash.
    static const char *const pieces[] = {"C:\\", "\\", "/", "\"", ";", ".exe", ".EXE", " /e", "%1",
                                         "Office", "\x95\x5c", "\x81", "\x95", "\xe0", "a"};
    std::string bytes;
    while (bytes.size() < length) {
        if (random.chance(70))
            bytes += pieces[random.below(sizeof pieces / sizeof pieces[0])];
        else
            bytes += (char)(1 + random.below(255));
    }
    bytes.resize(length);
    return bytes;
}

// A value of any type, terminated or not; sometimes (percent) one that discovery can follow.
void write_hostile_value(Generator &random, HKEY root, const char *key, const char *name,
                         const std::string &meaningful, int percent = 30)
{
    std::string bytes = random.chance(percent) ? meaningful : pick_bytes(random, pick_length(random));
    static const DWORD types[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ};
    DWORD type = types[random.below(sizeof types / sizeof types[0])];
    if (type == REG_DWORD)
        bytes = pick_bytes(random, 4);
    else if (random.chance(50))
        bytes.push_back('\0');
    write_reg_bytes(root, key, name, type, bytes);
}

bool terminated(const char *buffer, size_t capacity) { return memchr(buffer, '\0', capacity) != NULL; }

TEST(HostileRegistry, DiscoveryStopsOrGivesATerminatedFolder)
{
    const char *replay = getenv("KAVOR_SEED");
    uint64_t seed = replay != NULL ? strtoull(replay, NULL, 10) : 20261207;
    printf("hostile registry seed: %llu (KAVOR_SEED=%llu replays it)\n", (unsigned long long)seed,
           (unsigned long long)seed);
    Generator random = {seed * 2654435761ULL + 1};
    std::string office = make_temp_folder("hostile");
    std::string excel = install_stand_in_excel(office, 16);
    const int majors[] = {0, 8, 9, 16, -1, 65535};
    // Fewer under emulation, where tools/wine/run32.sh says how many.
    const char *states = getenv("KAVOR_HOSTILE_STATES");
    const int States = states != NULL ? atoi(states) : 2000;
    int found = 0;

    for (int round = 0; round < States; round++) {
        SCOPED_TRACE("state " + std::to_string(round) + " of seed " + std::to_string(seed));
        reset_excel_registry();
        if (random.chance(90))
            write_hostile_value(random, HKEY_CLASSES_ROOT, ".xls", NULL, ProgId);
        if (random.chance(80))
            // Only a command that names a program that is there goes on past finding Excel.
            write_hostile_value(random, HKEY_CLASSES_ROOT, CommandKey, NULL, "\"" + excel + "\" /e", 50);
        for (int version : {8, 16}) {
            std::string office_key = "Software\\Microsoft\\Office\\" + std::to_string(version) + ".0\\";
            if (random.chance(50))
                write_hostile_value(random, HKEY_CURRENT_USER, (office_key + "Common\\General").c_str(),
                                    "AddIns", "AddIns");
            if (random.chance(50))
                write_hostile_value(random, HKEY_CURRENT_USER, (office_key + "Excel\\Microsoft Excel").c_str(),
                                    "AddIn Path", office + "Library");
        }

        memset(ExcelPath, 'Z', sizeof ExcelPath);
        char ExcelClass[AssociationCapacity];
        DiscoveryStatus status = locate_excel(ExcelClass);
        ASSERT_TRUE(status == Found || status == AssociationKeyMissing ||
                    status == AssociationUnreadable || status == AssociationEmpty ||
                    status == OpenCommandMissing || status == OpenCommandUnreadable ||
                    status == PathTooLong || status == AssociationNotExcel)
            << status;
        if (status != Found)
            continue;
        ASSERT_TRUE(terminated(ExcelPath, PathCapacity));
        clean_excel_command();
        ASSERT_TRUE(terminated(ExcelPath, PathCapacity));

        int major = majors[random.below(sizeof majors / sizeof majors[0])];
        status = read_excel_major_version(&major);
        ASSERT_TRUE(status == Found || status == VersionUnavailable) << status;
        if (status == Found) {
            ASSERT_EQ(16, major) << ExcelPath;
        }

        // Sentinel bytes past the 260-byte buffer must survive.
        char AddinFolder[PathCapacity + 16];
        memset(AddinFolder, '\xab', sizeof AddinFolder);
        status = resolve_addin_folder(major, AddinFolder);
        for (size_t i = PathCapacity; i < sizeof AddinFolder; i++)
            ASSERT_EQ('\xab', AddinFolder[i]) << "written past the buffer at " << i;
        ASSERT_TRUE(status == Found || status == PathTooLong || status == SpecialFolderServiceMissing)
            << status;
        if (status == Found) {
            ASSERT_TRUE(terminated(AddinFolder, PathCapacity));
            size_t length = strlen(AddinFolder);
            ASSERT_GT(length, 0u);
            ASSERT_EQ('\\', AddinFolder[length - 1]) << AddinFolder;
            found++;
        }
    }
    printf("%d of %d states reached an add-in folder\n", found, States);
    EXPECT_GT(found, States / 20) << "too few states reach the end of discovery to test it";
}

} // namespace
