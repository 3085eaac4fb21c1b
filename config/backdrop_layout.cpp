#include "config/backdrop_layout.h"

Point CentredPicturePosition(Size client, Size picture) {
    return Point{(client.cx - picture.cx) / 2, (client.cy - picture.cy) / 2};
}

std::vector<Point> TilePositions(Size client, Size picture) {
    std::vector<Point> out;
    if (picture.cx <= 0 || picture.cy <= 0) return out;
    for (int y = 0; y < client.cy; y += picture.cy) {
        for (int x = 0; x < client.cx; x += picture.cx) out.push_back(Point{x, y});
    }
    return out;
}
