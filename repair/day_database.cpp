#include "repair/day_database.h"

#include <cstring>

std::int32_t DayDatabase::Init() {
    const std::int32_t code = table_.InitConnection(0, &connection_, 1);
    initialised_ = code == 0;
    return code;
}

std::int32_t DayDatabase::Connect(const std::string& databasePath) {
    // Our plug-in then writes only while nobody else has (other plug-ins ignore the value).
    const std::int32_t code = table_.ConnectDB(connection_, databasePath.c_str(), kConnectOnlyWriter, 0, 0);
    connected_ = code == 0;
    return code;
}

std::int32_t DayDatabase::Execute(const std::string& statement) {
    const char* text = statement.c_str();
    return table_.ExecuteSQL(connection_, text, static_cast<std::int32_t>(std::strlen(text)));
}

std::int32_t DayDatabase::Disconnect() {
    connected_ = false;
    return table_.Disconnect(connection_);
}

void DayDatabase::Release() {
    if (connected_) Disconnect();
    if (!initialised_) return;
    initialised_ = false;
    table_.ReleaseConnection(&connection_);
}
