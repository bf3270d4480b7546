#pragma once
// Small SVG pictures of one polygon before and after its correction.
//
// Both pictures of a polygon share one frame, the box around every finite
// vertex of either version scaled into a square of kPictureSize pixels, so
// a vertex sits at the same place in both. Each ring is drawn in its stored
// vertex order with arrow heads that show its running direction; rings are
// told apart by nesting depth (even: outer ring or island, odd: hole), and
// a ring whose direction does not fit its depth (outer rings clockwise,
// holes counter-clockwise) gets the class "falsch". The area is filled by
// the nonzero rule, so a hole stored in the direction of its outer ring shows
// filled, as the stored directions say. Vertices that the
// correction removed are marked with a cross on the "before" picture; the
// vertices it added (cut points) with a ring on the "after" picture.
//
// Nothing that is not finite reaches the SVG: points with a NaN or infinite
// coordinate are left out, and the frame is computed in long double so that
// even coordinates near the limits of double give finite pixel positions.
// Very large rings are thinned to a point budget per picture, and the marks
// are capped; the result says when either happened.

#include "pipeline/gis/geometry.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet::report {

inline constexpr double kPictureSize = 220.0;    // pixels, square
inline constexpr double kPictureMargin = 12.0;   // pixels kept free around the drawing
inline constexpr std::size_t kPicturePointBudget = 4000;
inline constexpr std::size_t kPictureMarkBudget = 300;

struct VertexChanges {
    std::vector<gis::Point> removed;  // vertices of `before` that `after` lacks
    std::vector<gis::Point> added;    // vertices of `after` that `before` lacks (cut points)
};

// Exact comparison of the vertex sets (each distinct point once, in the
// order of first appearance; points that are not finite are ignored). A
// missing polygon has no vertices.
VertexChanges compareVertices(const gis::Polygon* before, const gis::Polygon* after);

enum class RingRole { Outer, Hole };

struct RingInfo {
    RingRole role = RingRole::Outer;
    bool wrongOrientation = false;  // the direction does not fit the role
};

// Role of every part by nesting depth. When the containment tests would
// cost too much (many large parts) the role follows the stored orientation
// instead, and no ring counts as wrongly oriented.
std::vector<RingInfo> ringRoles(const gis::Polygon& polygon);

struct PixelPoint {
    double x = 0.0;
    double y = 0.0;
};

// The shared frame of the pictures of one polygon.
class Frame {
public:
    // Around every finite vertex of the polygons given (null entries skipped).
    static Frame around(std::span<const gis::Polygon* const> polygons);

    bool empty() const { return empty_; }
    // The pixel position of `p` (Y pointing down); std::nullopt for a point
    // that is not finite or a frame without points.
    std::optional<PixelPoint> map(gis::Point p) const;
    // Width and height of the box in map units.
    double width() const { return static_cast<double>(maxX_ - minX_); }
    double height() const { return static_cast<double>(maxY_ - minY_); }

private:
    bool empty_ = true;
    long double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
    long double scale_ = 0, offsetX_ = 0, offsetY_ = 0;
};

enum class MarkKind { Removed, Added };

struct Picture {
    std::string svg;          // one <svg> element, ready to be inlined
    bool thinned = false;     // rings were drawn with fewer vertices than they have
    std::size_t marksShown = 0;
    std::size_t marksLeftOut = 0;
};

// The picture of `polygon` in `frame`, with `marks` drawn as `kind`. `title`
// becomes the SVG's title; a null polygon gives a picture with `emptyText`.
Picture drawPolygon(const gis::Polygon* polygon, const Frame& frame, std::span<const gis::Point> marks,
                    MarkKind kind, std::string_view title, std::string_view emptyText);

}  // namespace plyvet::report
