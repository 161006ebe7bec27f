#include "credentials.hh"

namespace corvane::procedures {

TimestampCredentials service_timestamp_credentials(const py::Names& names, const py::Object& enciphered,
                                                   const py::Object& api_token) {
    py::Object credentials = names["decrypt_data"](enciphered, api_token);
    py::Object timestamp_info = names["json"].attr("loads")(credentials.attr("decode")(py::str("utf-8")));
    return TimestampCredentials{timestamp_info["ts_url"], timestamp_info["ts_username"],
                                timestamp_info["ts_password"]};
}

}  // namespace corvane::procedures
