#include "world/SegmentManager.h"

#include "physics/PhysxObject.h"
#include "physics/PhysxObjectDynamic.h"
#include "physics/Player.h"
#include "render/Model.h"
#include "run/StepContext.h"
#include "world/ParticleSystem.h"
#include "world/Random.h"
#include "world/SegmentContents.h"

#include <algorithm>
#include <cmath>

namespace {

const glm::vec3 managerPosition(-5.0f, 0.0f, -5.0f);
// A segment counts as entered this far past its grid line, as a share of its length.
constexpr float switchFraction = 0.7f;
constexpr float cellSize = 15.0f;

// A mushroom or a tree, centred at `at`, turned at random about the vertical (one more draw).
template <typename Obstacle>
std::shared_ptr<Obstacle> standOnFloor(const std::shared_ptr<PhysicsEngine>& engine, WorldRandom& random, glm::vec3 at,
                                       glm::vec3 size)
{
    auto obstacle = std::make_shared<Obstacle>(engine);
    obstacle->setPosition(at);
    obstacle->setRotation(glm::vec3(0.0f, 0.0f, 360.0f * random.unit()));
    obstacle->setScale(size);
    return obstacle;
}

} // namespace

Segment::Segment(std::shared_ptr<PhysicsEngine> engine, WorldRandom& random)
    : engine(std::move(engine))
    , random(&random)
{
}

void Segment::build()
{
    const float L = scale.x;
    const float W = scale.y;
    const glm::vec3 p = position;

    struct BoundarySpec {
        std::shared_ptr<Model> model;
        std::uint32_t type;
        glm::vec3 position;
        glm::vec3 rotation;
        glm::vec3 scale;
    };
    const BoundarySpec specs[] = {
        {getModel(MODEL_FLOOR), COLLISION_GROUND, {p.x + L / 2, p.y, p.z}, {0, 0, 0}, {L / 2, 1.5f * W, 1}},
        {nullptr, COLLISION_GROUND, {p.x + L / 2, p.y + W / 2, p.z + W / 2}, {90, 0, 0}, {L / 2, W / 2, 1}},
        {nullptr, COLLISION_GROUND, {p.x + L / 2, p.y - W / 2, p.z + W / 2}, {90, 0, 0}, {L / 2, W / 2, 1}},
        {nullptr, COLLISION_DEFAULT, {p.x + L / 2, p.y, p.z + W}, {0, 0, 0}, {L / 2, W / 2, 1}},
    };
    for (const auto& spec : specs) {
        auto body = std::make_shared<PhysxObjectDynamic>(spec.model, engine);
        body->collisionType = spec.type;
        body->setCollisionMask(body->collisionMask);
        body->makeImmovable();
        body->setPosition(spec.position);
        body->setRotation(spec.rotation);
        body->setScale(spec.scale);
        boundaries.push_back(body);
    }

    rain = std::make_shared<ParticleSystem>(RAIN_RATE, RAIN_LIFETIME, RAIN_DROP_SCALE);
    rain->setRotation(glm::vec3(0.0f, 90.0f, 0.0f));
    rain->setPosition(glm::vec3(p.x + L, p.y + W / 2, p.z + W));
    rain->setScale(glm::vec3(2 * W, 2 * L, 1.0f));

    const glm::vec3 woodsPlaces[] = {
        {p.x + 3 * L / 4, p.y + W, p.z + W / 2},
        {p.x + L / 4, p.y + W, p.z + W / 2},
        {p.x + 3 * L / 4, p.y - W, p.z + W / 2},
        {p.x + L / 4, p.y - W, p.z + W / 2},
    };
    for (const auto& place : woodsPlaces) {
        auto w = std::make_shared<Woods>();
        w->setPosition(place);
        w->setScale(glm::vec3(L / 4, W / 2, W / 2));
        woods.push_back(w);
    }
}

void Segment::populate()
{
    if (isStart)
        return;
    const float L = scale.x;
    const float W = scale.y;
    const glm::vec3 p = position;

    for (float cx = 0.0f; cx < L; cx += cellSize) {
        for (float cy = -W / 2; cy < W / 2; cy += cellSize) {
            // Three draws per cell, always in this order, so the forest is the same on every run.
            const float r = random->unit();
            const float dx = cellSize * random->unit();
            const float dy = cellSize * random->unit();
            const float x = p.x + cx + dx;
            const float y = p.y + cy + dy;

            if (r < 0.4f) {
                continue;
            } else if (r < 0.6f) {
                auto pollen = std::make_shared<Pollen>(engine);
                const float h = random->unit();
                pollen->setPosition(glm::vec3(x, y, p.z + h * W));
                contents.push_back(pollen);
            } else if (r < 0.8f) {
                contents.push_back(standOnFloor<Shroom>(engine, *random, glm::vec3(x, y, p.z + 10.0f),
                                                        glm::vec3(10.0f / 3.0f, 10.0f / 3.0f, 10.5f)));
            } else if (r < 1.0f) {
                contents.push_back(standOnFloor<Tree>(engine, *random, glm::vec3(x, y, p.z + 30.0f), glm::vec3(15.0f, 15.0f, 30.0f)));
            }
        }
    }
}

void Segment::clearContents()
{
    for (auto& content : contents)
        if (!content->isDestroyed())
            content->destroy();
    contents.clear();
}

void Segment::translate(glm::vec3 offset)
{
    for (auto& boundary : boundaries)
        boundary->setPosition(boundary->getPosition() + offset);
    for (auto& w : woods)
        w->setPosition(w->getPosition() + offset);
    rain->setPosition(rain->getPosition() + offset);
    setPosition(getPosition() + offset);
}

void Segment::translateContents(glm::vec3 offset)
{
    for (auto& content : contents)
        content->setPosition(content->getPosition() + offset);
    for (auto& drop : rain->getChildren())
        drop->setPosition(drop->getPosition() + offset);
}

void Segment::update(const StepContext& step)
{
    std::erase_if(contents, [](const std::shared_ptr<PhysxObjectDynamic>& c) { return c->isDestroyed(); });
    rain->update(step);
    GameObject::update(step);
}

void Segment::draw()
{
    for (auto& boundary : boundaries)
        boundary->draw();
    for (auto& content : contents)
        content->draw();
    rain->draw();
    for (auto& w : woods)
        w->draw();
    GameObject::draw();
}

SegmentManager::SegmentManager(std::shared_ptr<PhysicsEngine> engine, WorldRandom& random)
    : wrapOffset(worldLength, 0.0f, 0.0f)
{
    GameObject::setPosition(managerPosition);
    for (int i = 0; i < segmentCount; ++i) {
        auto segment = std::make_shared<Segment>(engine, random);
        segment->setPosition(managerPosition + glm::vec3(segmentSize.x * static_cast<float>(i), 0.0f, 0.0f));
        segment->setScale(segmentSize);
        if (i == 0) {
            segment->isStart = true;
            segment->build();
        } else {
            segment->build();
            segment->populate();
        }
        segments.push_back(segment);
        addChild(segment);
    }
}

int SegmentManager::bandIndex(float x)
{
    const float L = segmentSize.x;
    // Bounded before the conversion: a position far off (or not a number) stays outside the ring.
    const float band = x / L - switchFraction;
    int k = std::isfinite(band) ? static_cast<int>(std::clamp(band, -1e6f, 1e6f)) : -1;
    if (x - switchFraction * L < 0.0f)
        k += segmentCount - 1;
    return k;
}

float SegmentManager::bandStart(int index)
{
    // A player counted in band 2 or 3 has been carried back by the wrap on entering band 2.
    const float L = segmentSize.x;
    const float start = (static_cast<float>(index) + switchFraction) * L;
    return index >= 2 ? start - worldLength : start;
}

void SegmentManager::update(const StepContext& step)
{
    GameObject::update(step);
    if (step.player)
        follow(*step.player);
}

void SegmentManager::follow(GameObject& player)
{
    const float L = segmentSize.x;
    const float lap = wrapOffset.x;
    float px = player.getPosition().x;
    if (!std::isfinite(px))
        return;

    // A player several laps ahead is carried back by whole laps first: the tunnel looks the same
    // on every lap, and each segment needs refilling only once.
    const float ahead = px - bandStart(currentIndex);
    if (ahead >= lap + L) {
        const float laps = std::floor((ahead - L) / lap);
        player.setPosition(player.getPosition() - laps * wrapOffset);
        px = player.getPosition().x;
    }

    // A player past the next band went through it: the ring follows band by band, as if the
    // frame had been many short ones.
    for (int crossed = 0; crossed <= segmentCount; ++crossed) {
        const int next = (currentIndex + 1) % segmentCount;
        // Band 2 is entered before the wrap that carries the player back.
        const float entry = bandStart(next) + (next == 2 ? lap : 0.0f);
        if (px < entry + L)
            break;
        enterNext(player, entry);
        px = player.getPosition().x;
    }

    const int k = bandIndex(px);
    // Far outside the ring there is no segment to refill: wait until the player is back.
    if (k < 0 || k >= segmentCount)
        return;
    if (k == currentIndex)
        return;
    if ((currentIndex + 1) % segmentCount != k) {
        // Backwards (or a teleport): adopt the index without rebuilding anything.
        currentIndex = k;
        return;
    }
    enterNext(player, px);
}

void SegmentManager::enterNext(GameObject& player, float px)
{
    const int k = (currentIndex + 1) % segmentCount;
    if (k >= 2 && px > 0.0f) {
        for (int j = k; j < segmentCount; ++j) {
            Segment& s = *segments[static_cast<std::size_t>(j)];
            if (s.getPosition().x > 0.0f) {
                s.translate(-wrapOffset);
                s.translateContents(-wrapOffset);
            }
        }
        player.setPosition(player.getPosition() - wrapOffset);
    }

    Segment& left = *segments[static_cast<std::size_t>(currentIndex)];
    if (currentIndex < 2) {
        left.clearContents();
        left.populate();
    } else if (left.getPosition().x <= 0.0f) {
        left.clearContents();
        left.translate(wrapOffset);
        left.populate();
    }
    currentIndex = k;
}
