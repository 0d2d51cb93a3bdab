// End-to-end language download: the language window model over the POSIX platform layer
// against the real server on 127.0.0.1, which signs what it serves.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "ClientMachine.h"
#include "ServerProcess.h"
#include "app/LanguageWindow.h"
#include "app/MainState.h"
#include "localization/Languages.h"
#include "mock/ScriptedUserInterface.h"
#include "settings/SettingsStore.h"
#include "update/ServerConfig.h"

namespace nightjar::e2e {
namespace {

TEST(LanguageUpdate, SignedFileIsStoredFromItsFirstAngleBracketWithCrLfAdded) {
    mock::TempDir tmp;
    const std::string db = tmp.file("defs.db");
    const std::string body =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<XML_DIZ_INFO>\r\n"
        "<LANGUAGE_GROUP xml:lang=\"de\">\r\n<LANGUAGE_NAME>German</LANGUAGE_NAME>\r\n"
        "<TRANSLATION_ITEMS>\r\n\t<MSG_SURE>Sicher?</MSG_SURE>\r\n</TRANSLATION_ITEMS>\r\n"
        "</LANGUAGE_GROUP>\r\n</XML_DIZ_INFO>";
    std::ofstream(tmp.file("Localization.txt"), std::ios::binary) << "\xef\xbb\xbf\r\n\r\n" << body;
    CommandResult r = runProgram(ServerProcess::binary(),
                                 {"--db", db, "set-language", tmp.file("Localization.txt")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = runProgram(ServerProcess::binary(), {"keygen", tmp.file("signing.pem")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string publicKey =
        text::trim(text::replaceAll(readHostFile(tmp.file("signing.pem.pub")), "\n", ""));
    ServerProcess server;
    ASSERT_TRUE(
        server.start(db, tmp.file("server.log"), {"--signing-key", tmp.file("signing.pem")}));

    ClientMachine client(tmp.file("machine"));
    ASSERT_TRUE(client.ok()) << client.error();
    platform::FileSystem& fs = *client.platform().fileSystem;
    const std::string folder = "C:\\Program Files\\Nightjar";
    ASSERT_TRUE(fs.createFolder(folder));
    mock::ScriptedUserInterface ui;
    app::MainStateOptions options;
    options.programFolder = folder;
    app::MainState state(client.platform(), ui, options);
    state.settings().Write("OptionAndSettings", "DefinitionPublicKey", publicKey);
    state.servers().setLanguageOverride(server.baseUrl());
    localization::WindowText self{"frmLanguage", "", {}};
    app::LanguageWindow window(state, self);
    window.Form_Load();

    ASSERT_EQ(window.CheckForUpdates(), app::LanguageUpdateOutcome::Downloaded);
    EXPECT_EQ(readHostFile(fs.hostPath(folder + "\\Localization.txt")), body + "\r\n");
    EXPECT_EQ(window.languages(), (std::vector<std::string>{"German"}));
    ASSERT_EQ(ui.boxes.size(), 1u);

    // Under a key the server does not sign with, nothing is written.
    state.settings().Write("OptionAndSettings", "DefinitionPublicKey", "a2V5");
    fs.deleteFile(folder + "\\Localization.txt");
    EXPECT_EQ(window.CheckForUpdates(), app::LanguageUpdateOutcome::Unverified);
    EXPECT_FALSE(fs.exists(folder + "\\Localization.txt"));
}

}  // namespace
}  // namespace nightjar::e2e
